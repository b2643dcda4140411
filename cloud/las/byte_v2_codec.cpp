#include <cstring>

#include "cloud/las/byte_v2.h"

namespace kl::las {

ByteV2Codec::ByteV2Codec(uint32_t count) : models_(count, ArithmeticModel(256)), last_(count, 0) {}

void ByteV2Codec::init(const uint8_t* first) {
  for (auto& m : models_) m.reset();
  if (!last_.empty()) std::memcpy(last_.data(), first, last_.size());
}

}  // namespace kl::las
