#pragma once

#include <array>
#include <cstdint>

#include "cloud/las/arithmetic_decoder.h"
#include "cloud/las/arithmetic_encoder.h"
#include "cloud/las/integer_compressor.h"

namespace kl::las {

// GPS time of point formats 1, 3, 4, 5: up to four interleaved time sequences, each
// predicted from its last difference times a small multiplier.
class GpsTime11V2Codec {
 public:
  GpsTime11V2Codec();
  void init(const uint8_t* firstTime);
  // false on a corrupt stream (endless sequence switching)
  bool decode(ArithmeticDecoder& dec, uint8_t* out);
  void encode(ArithmeticEncoder& enc, const uint8_t* time);

 private:
  void decodeFull(ArithmeticDecoder& dec);
  void encodeFull(ArithmeticEncoder& enc, uint64_t time);
  void bumpCounter(int32_t diff);

  ArithmeticModel multi_;
  ArithmeticModel zeroDiff_;
  IntegerCompressor ic_;
  uint32_t last_ = 0;
  uint32_t next_ = 0;
  std::array<uint64_t, 4> lastTime_{};
  std::array<int32_t, 4> lastDiff_{};
  std::array<int32_t, 4> extremeCounter_{};
};

}  // namespace kl::las
