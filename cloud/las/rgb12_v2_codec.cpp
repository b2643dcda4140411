#include "cloud/las/las_bytes.h"
#include "cloud/las/rgb12_v2.h"

namespace kl::las {

namespace {
inline int32_t clampByte(int32_t v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }
inline uint32_t lo(uint16_t v) { return v & 0xFFu; }
inline uint32_t hi(uint16_t v) { return v >> 8; }
inline int32_t s(uint32_t v) { return static_cast<int32_t>(v); }
}  // namespace

Rgb12V2Codec::Rgb12V2Codec()
    : byteUsed_(128),
      diff_{ArithmeticModel(256), ArithmeticModel(256), ArithmeticModel(256), ArithmeticModel(256),
            ArithmeticModel(256), ArithmeticModel(256)} {}

void Rgb12V2Codec::init(const uint8_t* p) {
  byteUsed_.reset();
  for (auto& m : diff_) m.reset();
  last_ = {loadLe<uint16_t>(p), loadLe<uint16_t>(p + 2), loadLe<uint16_t>(p + 4)};
}

void Rgb12V2Codec::decode(ArithmeticDecoder& shared, uint8_t* out) {
  ArithmeticDecoder dec = shared;  // kept in registers across the symbols
  const uint32_t sym = dec.decodeSymbol(byteUsed_);
  const uint16_t lr = last_[0], lg = last_[1], lb = last_[2];
  uint32_t rl = lo(lr), rh = hi(lr);
  if (sym & 1) rl = (dec.decodeSymbol(diff_[0]) + rl) & 0xFFu;
  if (sym & 2) rh = (dec.decodeSymbol(diff_[1]) + rh) & 0xFFu;
  uint32_t gl = rl, gh = rh, bl = rl, bh = rh;
  if (sym & 64) {
    int32_t d = s(rl) - s(lo(lr));
    gl = lo(lg);
    if (sym & 4) gl = (dec.decodeSymbol(diff_[2]) + static_cast<uint32_t>(clampByte(d + s(lo(lg))))) & 0xFFu;
    bl = lo(lb);
    if (sym & 16) {
      const int32_t e = (d + s(gl) - s(lo(lg))) / 2;
      bl = (dec.decodeSymbol(diff_[4]) + static_cast<uint32_t>(clampByte(e + s(lo(lb))))) & 0xFFu;
    }
    d = s(rh) - s(hi(lr));
    gh = hi(lg);
    if (sym & 8) gh = (dec.decodeSymbol(diff_[3]) + static_cast<uint32_t>(clampByte(d + s(hi(lg))))) & 0xFFu;
    bh = hi(lb);
    if (sym & 32) {
      const int32_t e = (d + s(gh) - s(hi(lg))) / 2;
      bh = (dec.decodeSymbol(diff_[5]) + static_cast<uint32_t>(clampByte(e + s(hi(lb))))) & 0xFFu;
    }
  }
  last_ = {static_cast<uint16_t>(rl | rh << 8), static_cast<uint16_t>(gl | gh << 8),
           static_cast<uint16_t>(bl | bh << 8)};
  storeLe<uint16_t>(out, last_[0]);
  storeLe<uint16_t>(out + 2, last_[1]);
  storeLe<uint16_t>(out + 4, last_[2]);
  shared = dec;
}

void Rgb12V2Codec::encode(ArithmeticEncoder& enc, const uint8_t* p) {
  const uint16_t r = loadLe<uint16_t>(p), g = loadLe<uint16_t>(p + 2), b = loadLe<uint16_t>(p + 4);
  const uint16_t lr = last_[0], lg = last_[1], lb = last_[2];
  const bool colour = r != g || r != b;
  uint32_t sym = (lo(r) != lo(lr) ? 1u : 0u) | (hi(r) != hi(lr) ? 2u : 0u);
  if (colour) {
    sym |= 64u | (lo(g) != lo(lg) ? 4u : 0u) | (hi(g) != hi(lg) ? 8u : 0u) | (lo(b) != lo(lb) ? 16u : 0u) |
           (hi(b) != hi(lb) ? 32u : 0u);
  }
  enc.encodeSymbol(byteUsed_, sym);
  auto delta = [](uint32_t value, int32_t pred) { return (value - static_cast<uint32_t>(pred)) & 0xFFu; };
  if (sym & 1) enc.encodeSymbol(diff_[0], delta(lo(r), s(lo(lr))));
  if (sym & 2) enc.encodeSymbol(diff_[1], delta(hi(r), s(hi(lr))));
  if (colour) {
    int32_t d = s(lo(r)) - s(lo(lr));
    if (sym & 4) enc.encodeSymbol(diff_[2], delta(lo(g), clampByte(d + s(lo(lg)))));
    if (sym & 16) {
      const int32_t e = (d + s(lo(g)) - s(lo(lg))) / 2;
      enc.encodeSymbol(diff_[4], delta(lo(b), clampByte(e + s(lo(lb)))));
    }
    d = s(hi(r)) - s(hi(lr));
    if (sym & 8) enc.encodeSymbol(diff_[3], delta(hi(g), clampByte(d + s(hi(lg)))));
    if (sym & 32) {
      const int32_t e = (d + s(hi(g)) - s(hi(lg))) / 2;
      enc.encodeSymbol(diff_[5], delta(hi(b), clampByte(e + s(hi(lb)))));
    }
  }
  last_ = {r, g, b};
}

}  // namespace kl::las
