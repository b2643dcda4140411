#pragma once

#include <array>
#include <cstdint>

#include "cloud/las/arithmetic_decoder.h"
#include "cloud/las/arithmetic_encoder.h"

namespace kl::las {

// Colour of point formats 2, 3, 5: per-byte differences, green and blue predicted from red.
class Rgb12V2Codec {
 public:
  Rgb12V2Codec();
  void init(const uint8_t* firstRgb);
  void decode(ArithmeticDecoder& dec, uint8_t* out);
  void encode(ArithmeticEncoder& enc, const uint8_t* rgb);

 private:
  ArithmeticModel byteUsed_;
  std::array<ArithmeticModel, 6> diff_;
  std::array<uint16_t, 3> last_{};
};

}  // namespace kl::las
