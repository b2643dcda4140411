#pragma once

#include <cstdint>
#include <vector>

#include "cloud/las/arithmetic_decoder.h"
#include "cloud/las/arithmetic_encoder.h"
#include "cloud/las/arithmetic_model.h"
#include "cloud/las/las_inline.h"

namespace kl::las {

// Codes an integer as a correction to a prediction: first the bit length k of the
// correction (per context), then its position inside that length class.
class IntegerCompressor {
 public:
  IntegerCompressor(uint32_t bits = 16, uint32_t contexts = 1, uint32_t bitsHigh = 8, uint32_t range = 0);

  // Back to the untrained models every chunk starts with, on the coding and
  // the decoding side alike.
  void resetModels();

  KL_LAS_INLINE int32_t decompress(ArithmeticDecoder& dec, int32_t pred, uint32_t context = 0) {
    const int32_t corr = readCorrector(dec, kModels_[context]);
    // fold back into the range; the sign of the sum is random, so select without branching
    const uint32_t real = static_cast<uint32_t>(pred) + static_cast<uint32_t>(corr);
    // (a range of 0 stands for 2^32 and masks both corrections away)
    const uint32_t negative = 0u - (real >> 31);
    const uint32_t over = 0u - static_cast<uint32_t>(real >= corrRange_);
    return static_cast<int32_t>(real + (corrRange_ & negative) - (corrRange_ & over & ~negative));
  }

  void compress(ArithmeticEncoder& enc, int32_t pred, int32_t real, uint32_t context = 0);

  uint32_t getK() const { return k_; }

 private:
  KL_LAS_INLINE int32_t readCorrector(ArithmeticDecoder& dec, ArithmeticModel& kModel) {
    k_ = dec.decodeSymbol(kModel);
    if (k_ == 0) return static_cast<int32_t>(dec.decodeBit(bit0Model_));
    if (k_ >= 32) return corrMin_;
    uint32_t c;
    if (k_ <= bitsHigh_) {
      c = dec.decodeSymbol(correctors_[k_ - 1]);
    } else {
      const uint32_t k1 = k_ - bitsHigh_;
      c = dec.decodeSymbol(correctors_[k_ - 1]);
      c = (c << k1) | dec.readBits(k1);
    }
    // c below half of its class is a negative correction: c + 1 - 2^k, else c + 1
    const uint32_t negative = c < (1u << (k_ - 1)) ? (1u << k_) : 0u;
    return static_cast<int32_t>(c + 1 - negative);
  }

  uint32_t bitsHigh_;
  uint32_t corrBits_;
  uint32_t corrRange_;  // 0 means 2^32: wrapping arithmetic does the folding
  int32_t corrMin_;
  int32_t corrMax_;
  uint32_t k_ = 0;
  std::vector<ArithmeticModel> kModels_;     // one per context, corrBits + 1 symbols
  ArithmeticBitModel bit0Model_;             // corrector for k == 0
  std::vector<ArithmeticModel> correctors_;  // k = 1..corrBits at index k - 1
};

}  // namespace kl::las
