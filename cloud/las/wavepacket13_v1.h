#pragma once

#include <array>
#include <cstdint>

#include "cloud/las/arithmetic_decoder.h"
#include "cloud/las/integer_compressor.h"

namespace kl::las {

// Wave packet descriptor of point formats 4 and 5 (decode only: it shares the point
// stream, so it must be decoded to stay in step).
class WavePacket13V1Decoder {
 public:
  WavePacket13V1Decoder();
  void init(const uint8_t* firstPacket);
  void decode(ArithmeticDecoder& dec, uint8_t* out);

 private:
  ArithmeticModel packetIndex_;
  std::array<ArithmeticModel, 4> offsetDiff_;
  IntegerCompressor icOffsetDiff_;
  IntegerCompressor icPacketSize_;
  IntegerCompressor icReturnPoint_;
  IntegerCompressor icXyz_;
  uint8_t last_[29] = {};
  int32_t lastDiff_ = 0;
  uint32_t symLast_ = 0;
};

}  // namespace kl::las
