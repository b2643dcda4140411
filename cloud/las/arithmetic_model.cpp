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
  // one bin per symbol makes nearly every search a direct hit, and giving every model
  // a table spares the decoder a branch on the model's kind.
  uint32_t tableBits = 3;
  while (symbols_ > (1u << tableBits)) ++tableBits;
  tableSize_ = 1u << tableBits;
  tableShift_ = kSymbolLengthShift - tableBits;
  storage_.assign(2 * symbols_, 0);
  table_.assign(tableSize_ + 2, 0);  // the last slot takes the fill's stray write
  reset();
}

void ArithmeticModel::reset() {
  uint32_t* c = counts();
  for (uint32_t k = 0; k < symbols_; ++k) c[k] = 1;
  totalCount_ = 0;
  updateCycle_ = symbols_;
  update();
  symbolsUntilUpdate_ = updateCycle_ = (symbols_ + 6) >> 1;
}

void ArithmeticModel::update() {
  uint32_t* c = counts();
  uint32_t* d = distribution();
  totalCount_ += updateCycle_;
  if (totalCount_ > kSymbolMaxCount) {
    totalCount_ = 0;
    for (uint32_t k = 0; k < symbols_; ++k) {
      c[k] = (c[k] + 1) >> 1;
      totalCount_ += c[k];
    }
  }
  const uint32_t scale = 0x80000000u / totalCount_;
  // Symbol k's interval starts at d[k]; bin j starts at j << tableShift_, and its table
  // entry is the symbol whose interval holds that start. Each symbol writes its entry at
  // the next bin unconditionally (a symbol owning no bin is overwritten by the owner),
  // so only symbols owning several bins loop.
  uint64_t* t = table_.data();
  const uint32_t roundUp = (1u << tableShift_) - 1;
  uint32_t sum = c[0], low = 0, j = 0;
  d[0] = 0;
  for (uint32_t k = 0; k < lastSymbol_; ++k) {
    const uint32_t high = (scale * sum) >> (31 - kSymbolLengthShift);
    d[k + 1] = high;
    sum += c[k + 1];
    const uint64_t entry = tableEntry(k, low, high);
    const uint32_t end = (high + roundUp) >> tableShift_;
    t[j] = entry;
    for (uint32_t i = j + 1; i < end; ++i) t[i] = entry;
    j = end;
    low = high;
  }
  const uint64_t last = tableEntry(lastSymbol_, d[lastSymbol_], kOpenEnd);
  for (; j <= tableSize_; ++j) t[j] = last;
  updateCycle_ = (5 * updateCycle_) >> 2;
  const uint32_t maxCycle = (symbols_ + 6) << 3;
  if (updateCycle_ > maxCycle) updateCycle_ = maxCycle;
  symbolsUntilUpdate_ = updateCycle_;
}

}  // namespace kl::las
