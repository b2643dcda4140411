#include "cloud/las/arithmetic_model.h"

#include <algorithm>
#include <cstring>

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
  // The decoder table without a loop per symbol over its bins, whose length varies
  // around two and would be mispredicted: each symbol marks the first bin that starts
  // at or after its interval's end with its successor's number (the intervals come in
  // order, so a later mark on the same bin is the right one), and a running maximum
  // over the bins then gives each bin the symbol whose interval holds the bin's start.
  uint16_t* b = block_.data();
  uint16_t* t = block_.data() + symbolsAt_;
  const uint32_t bins = tableSize_ + 2;
  std::fill(t, t + bins, uint16_t{0});
  const uint32_t roundUp = (1u << tableShift_) - 1;
  uint32_t sum = 0;
  d[0] = 0;
  for (uint32_t k = 0; k < lastSymbol_; ++k) {
    sum += c[k];
    const uint32_t high = (scale * sum) >> (31 - kSymbolLengthShift);
    d[k + 1] = static_cast<uint16_t>(high);
    t[(high + roundUp) >> tableShift_] = static_cast<uint16_t>(k + 1);
  }
  d[symbols_] = kOpenEnd;
  uint32_t sym = 0;
  for (uint32_t j = 0; j < bins; ++j) {
    sym = t[j] > sym ? t[j] : sym;
    t[j] = static_cast<uint16_t>(sym);
    std::memcpy(b + 2 * j, d + sym, 4);  // the symbol's start and end, side by side
  }
  updateCycle_ = (5 * updateCycle_) >> 2;
  const uint32_t maxCycle = (symbols_ + 6) << 3;
  if (updateCycle_ > maxCycle) updateCycle_ = maxCycle;
  symbolsUntilUpdate_ = updateCycle_;
}

}  // namespace kl::las
