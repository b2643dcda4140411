#pragma once

#include <array>
#include <cstdint>

#include "cloud/las/arithmetic_decoder.h"
#include "cloud/las/arithmetic_encoder.h"
#include "cloud/las/las_bytes.h"
#include "cloud/las/las_inline.h"

namespace kl::las {

// Colour of point formats 2, 3, 5: per-byte differences, green and blue predicted from red.
class Rgb12V2Codec {
 public:
  Rgb12V2Codec();
  void init(const uint8_t* firstRgb);
  // inline for the same reason as the core codec's decode()
  KL_LAS_INLINE void decode(ArithmeticDecoder& dec, uint8_t* out);
  void encode(ArithmeticEncoder& enc, const uint8_t* rgb);

 private:
  ArithmeticModel byteUsed_;
  std::array<ArithmeticModel, 6> diff_;
  std::array<uint16_t, 3> last_{};
};

namespace rgb12 {
inline int32_t clampByte(int32_t v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }
inline uint32_t lo(uint16_t v) { return v & 0xFFu; }
inline uint32_t hi(uint16_t v) { return v >> 8; }
inline int32_t s(uint32_t v) { return static_cast<int32_t>(v); }
}  // namespace rgb12

KL_LAS_INLINE void Rgb12V2Codec::decode(ArithmeticDecoder& dec, uint8_t* out) {
  using namespace rgb12;
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
}

}  // namespace kl::las
