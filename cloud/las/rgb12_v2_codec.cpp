#include "cloud/las/las_bytes.h"
#include "cloud/las/rgb12_v2.h"

namespace kl::las {

using namespace rgb12;

Rgb12V2Codec::Rgb12V2Codec()
    : byteUsed_(128),
      diff_{ArithmeticModel(256), ArithmeticModel(256), ArithmeticModel(256), ArithmeticModel(256),
            ArithmeticModel(256), ArithmeticModel(256)} {}

void Rgb12V2Codec::init(const uint8_t* p) {
  byteUsed_.reset();
  for (auto& m : diff_) m.reset();
  last_ = {loadLe<uint16_t>(p), loadLe<uint16_t>(p + 2), loadLe<uint16_t>(p + 4)};
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
