#pragma once

#include <cstdint>
#include <vector>

#include "cloud/las/arithmetic_decoder.h"
#include "cloud/las/arithmetic_encoder.h"

namespace kl::las {

// Extra bytes after the standard record: each byte is a difference to the previous point's.
class ByteV2Codec {
 public:
  explicit ByteV2Codec(uint32_t count);
  void init(const uint8_t* first);
  void decode(ArithmeticDecoder& dec, uint8_t* out) {
    for (size_t i = 0; i < last_.size(); ++i) {
      last_[i] = static_cast<uint8_t>(last_[i] + dec.decodeSymbol(models_[i]));
      out[i] = last_[i];
    }
  }
  void encode(ArithmeticEncoder& enc, const uint8_t* bytes) {
    for (size_t i = 0; i < last_.size(); ++i) {
      enc.encodeSymbol(models_[i], static_cast<uint8_t>(bytes[i] - last_[i]));
      last_[i] = bytes[i];
    }
  }

 private:
  std::vector<ArithmeticModel> models_;
  std::vector<uint8_t> last_;
};

}  // namespace kl::las
