#include "cloud/las/arithmetic_encoder.h"

namespace kl::las {

void ArithmeticEncoder::done() {
  // Pin the final interval with one or two bytes, then pad with zeros so that the
  // total equals what the decoder reads (4 at init plus one per renormalisation).
  uint32_t padding;
  if (length_ > 2 * kAcMinLength) {
    addToBase(kAcMinLength);
    length_ = kAcMinLength >> 1;
    padding = 3;
  } else {
    addToBase(kAcMinLength >> 1);
    length_ = kAcMinLength >> 9;
    padding = 2;
  }
  renormalize();
  out_->insert(out_->end(), padding, 0);
}

}  // namespace kl::las
