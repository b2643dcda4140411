#include "cloud/las/integer_compressor.h"

namespace kl::las {

IntegerCompressor::IntegerCompressor(uint32_t bits, uint32_t contexts, uint32_t bitsHigh, uint32_t range)
    : bitsHigh_(bitsHigh) {
  if (range != 0) {
    corrBits_ = 0;
    corrRange_ = range;
    uint32_t r = range;
    while (r != 0) {
      r >>= 1;
      ++corrBits_;
    }
    if ((range & (range - 1)) == 0) --corrBits_;
    corrMin_ = -static_cast<int32_t>(corrRange_ / 2);
    corrMax_ = static_cast<int32_t>(static_cast<int64_t>(corrMin_) + corrRange_ - 1);
  } else if (bits > 0 && bits < 32) {
    corrBits_ = bits;
    corrRange_ = 1u << bits;
    corrMin_ = -static_cast<int32_t>(corrRange_ / 2);
    corrMax_ = static_cast<int32_t>(static_cast<int64_t>(corrMin_) + corrRange_ - 1);
  } else {
    corrBits_ = 32;
    corrRange_ = 0;
    corrMin_ = INT32_MIN;
    corrMax_ = INT32_MAX;
  }
  kModels_.reserve(contexts);
  for (uint32_t i = 0; i < contexts; ++i) kModels_.emplace_back(corrBits_ + 1);
  correctors_.reserve(corrBits_);
  for (uint32_t i = 1; i <= corrBits_; ++i) correctors_.emplace_back(i <= bitsHigh_ ? (1u << i) : (1u << bitsHigh_));
}

void IntegerCompressor::resetModels() {
  for (auto& m : kModels_) m.reset();
  bit0Model_.reset();
  for (auto& m : correctors_) m.reset();
}

void IntegerCompressor::compress(ArithmeticEncoder& enc, int32_t pred, int32_t real, uint32_t context) {
  int32_t corr = static_cast<int32_t>(static_cast<uint32_t>(real) - static_cast<uint32_t>(pred));
  if (corrRange_ != 0) {
    if (corr < corrMin_) {
      corr = static_cast<int32_t>(static_cast<uint32_t>(corr) + corrRange_);
    } else if (corr > corrMax_) {
      corr = static_cast<int32_t>(static_cast<uint32_t>(corr) - corrRange_);
    }
  }
  // smallest k with corr in [-(2^k - 1), 2^k]
  uint32_t magnitude = corr <= 0 ? 0u - static_cast<uint32_t>(corr) : static_cast<uint32_t>(corr) - 1u;
  uint32_t k = 0;
  while (magnitude != 0) {
    magnitude >>= 1;
    ++k;
  }
  k_ = k;
  enc.encodeSymbol(kModels_[context], k);
  if (k == 0) {
    enc.encodeBit(bit0Model_, static_cast<uint32_t>(corr));
    return;
  }
  if (k >= 32) return;
  uint32_t c = corr < 0 ? static_cast<uint32_t>(corr) + ((1u << k) - 1) : static_cast<uint32_t>(corr) - 1;
  if (k <= bitsHigh_) {
    enc.encodeSymbol(correctors_[k - 1], c);
  } else {
    const uint32_t k1 = k - bitsHigh_;
    enc.encodeSymbol(correctors_[k - 1], c >> k1);
    enc.writeBits(k1, c & ((1u << k1) - 1));
  }
}

}  // namespace kl::las
