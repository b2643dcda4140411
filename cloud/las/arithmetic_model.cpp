#include "cloud/las/arithmetic_model.h"

namespace kl::las {

void ArithmeticBitModel::update() {
  bitCount_ += updateCycle_;
  if (bitCount_ > kBitMaxCount) {
    bitCount_ = (bitCount_ + 1) >> 1;
    bit0Count_ = (bit0Count_ + 1) >> 1;
    if (bit0Count_ == bitCount_) ++bitCount_;
  }
  const uint32_t scale = 0x80000000u / bitCount_;
  bit0Prob_ = (bit0Count_ * scale) >> (31 - kBitLengthShift);
  updateCycle_ = (5 * updateCycle_) >> 2;
  if (updateCycle_ > 64) updateCycle_ = 64;
  bitsUntilUpdate_ = updateCycle_;
}

ArithmeticModel::ArithmeticModel(uint32_t symbols) : symbols_(symbols), lastSymbol_(symbols - 1) {
  // The decoder table only speeds up the symbol search and is not part of the stream:
  // two bins per symbol make nearly every search a direct hit, and giving every model
  // a table spares the decoder a branch on the model's kind.
  uint32_t tableBits = 4;
  while (2 * symbols_ > (1u << tableBits)) ++tableBits;
  tableSize_ = 1u << tableBits;
  tableShift_ = kSymbolLengthShift - tableBits;
  symbolsAt_ = 2 * (tableSize_ + 2);
  distAt_ = symbolsAt_ + tableSize_ + 2;
  countsAt_ = distAt_ + symbols_ + 1;
  block_.assign(countsAt_ + symbols_, 0);
  reset();
}

void ArithmeticModel::reset() {
  uint16_t* c = counts();
  for (uint32_t k = 0; k < symbols_; ++k) c[k] = 1;
  totalCount_ = 0;
  updateCycle_ = symbols_;
  update();
  symbolsUntilUpdate_ = updateCycle_ = (symbols_ + 6) >> 1;
}

void ArithmeticModel::update() {
  uint16_t* c = counts();
  uint16_t* d = distribution();
  totalCount_ += updateCycle_;
  if (totalCount_ > kSymbolMaxCount) {
    totalCount_ = 0;
    for (uint32_t k = 0; k < symbols_; ++k) {
      c[k] = static_cast<uint16_t>((c[k] + 1u) >> 1);
      totalCount_ += c[k];
    }
  }
  const uint32_t scale = 0x80000000u / totalCount_;
  // Each symbol writes itself at the next two bins unconditionally (a bin it does not
  // own is overwritten by the owner, which comes later), so only symbols owning more
  // than two bins loop: with two bins per symbol the count varies around two, and a
  // loop on it would be mispredicted.
  uint16_t* b = block_.data();
  uint16_t* t = block_.data() + symbolsAt_;
  const auto put = [t, b](uint32_t bin, uint32_t sym, uint32_t low, uint32_t high) {
    t[bin] = static_cast<uint16_t>(sym);
    b[2 * bin] = static_cast<uint16_t>(low);
    b[2 * bin + 1] = static_cast<uint16_t>(high);
  };
  const uint32_t roundUp = (1u << tableShift_) - 1;
  uint32_t sum = c[0], low = 0, j = 0;
  d[0] = 0;
  for (uint32_t k = 0; k < lastSymbol_; ++k) {
    const uint32_t high = (scale * sum) >> (31 - kSymbolLengthShift);
    d[k + 1] = static_cast<uint16_t>(high);
    sum += c[k + 1];
    const uint32_t end = (high + roundUp) >> tableShift_;
    put(j, k, low, high);
    put(j + 1, k, low, high);
    for (uint32_t i = j + 2; i < end; ++i) put(i, k, low, high);
    j = end;
    low = high;
  }
  d[symbols_] = kOpenEnd;
  for (; j <= tableSize_ + 1; ++j) put(j, lastSymbol_, low, kOpenEnd);
  updateCycle_ = (5 * updateCycle_) >> 2;
  const uint32_t maxCycle = (symbols_ + 6) << 3;
  if (updateCycle_ > maxCycle) updateCycle_ = maxCycle;
  symbolsUntilUpdate_ = updateCycle_;
}

}  // namespace kl::las
