#pragma once

#include <cstdint>
#include <vector>

namespace kl::las {

// Adaptive probability models shared by the arithmetic decoder and encoder. Both
// sides must update them identically, so every field here is part of the wire format.

inline constexpr uint32_t kAcMinLength = 0x01000000u;
inline constexpr uint32_t kAcMaxLength = 0xFFFFFFFFu;
inline constexpr uint32_t kBitLengthShift = 13;
inline constexpr uint32_t kBitMaxCount = 1u << kBitLengthShift;
inline constexpr uint32_t kSymbolLengthShift = 15;
inline constexpr uint32_t kSymbolMaxCount = 1u << kSymbolLengthShift;

class ArithmeticBitModel {
 public:
  ArithmeticBitModel() { reset(); }
  void reset() {
    bit0Count_ = 1;
    bitCount_ = 2;
    bit0Prob_ = 1u << (kBitLengthShift - 1);
    updateCycle_ = bitsUntilUpdate_ = 4;
  }

 private:
  friend class ArithmeticDecoder;
  friend class ArithmeticEncoder;
  void update();

  uint32_t bit0Prob_;
  uint32_t bitsUntilUpdate_;
  uint32_t updateCycle_;
  uint32_t bit0Count_;
  uint32_t bitCount_;
};

class ArithmeticModel {
 public:
  // symbols: 2..2048
  explicit ArithmeticModel(uint32_t symbols);
  void reset();
  uint32_t symbols() const { return symbols_; }

 private:
  friend class ArithmeticDecoder;
  friend class ArithmeticEncoder;
  void update();

  uint32_t* distribution() { return storage_.data(); }
  uint32_t* counts() { return storage_.data() + symbols_; }

  // A decoder table entry holds the first symbol whose interval reaches into the bin,
  // with that interval's bounds, so that the usual case (the whole bin inside one
  // interval) costs one load. The last symbol's upper bound is kOpenEnd, above any
  // quotient the decoder can form, even from a corrupt stream.
  static constexpr uint32_t kOpenEnd = 0xFFFFFFFFu;
  static uint64_t tableEntry(uint32_t sym, uint32_t low, uint32_t high) {
    return low | (sym << 16) | (static_cast<uint64_t>(high) << 32);
  }
  static uint32_t entryLow(uint64_t e) { return static_cast<uint32_t>(e) & 0xFFFFu; }
  static uint32_t entryHigh(uint64_t e) { return static_cast<uint32_t>(e >> 32); }
  static uint32_t entrySymbol(uint64_t e) { return static_cast<uint32_t>(e) >> 16; }

  uint32_t symbols_;
  uint32_t lastSymbol_;
  uint32_t tableSize_ = 0;
  uint32_t tableShift_ = 0;
  uint32_t totalCount_ = 0;
  uint32_t updateCycle_ = 0;
  uint32_t symbolsUntilUpdate_ = 0;
  std::vector<uint32_t> storage_;  // distribution, then counts
  std::vector<uint64_t> table_;    // bins 0..tableSize_ of the decoder table
};

}  // namespace kl::las
