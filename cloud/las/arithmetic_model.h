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

  // Everything a model holds sits in one block of 16-bit words, so that the models a
  // point touches stay in the first-level cache: interval starts are below 2^15, and a
  // count never exceeds 2^15 plus one update cycle (at most 16432).
  //
  // The decoder table has two parallel arrays, so that neither load waits for the
  // other: the bounds (low | high << 16) of the interval that holds bin j's start
  // j << tableShift_, first in the block so that its address is one step from the
  // quotient, and that interval's symbol. The slot after the last bin repeats the last
  // symbol.
  const uint16_t* binBounds() const { return block_.data(); }
  const uint16_t* binSymbols() const { return block_.data() + symbolsAt_; }
  // Interval starts, then kOpenEnd: symbol k's interval is [dist[k], dist[k + 1]).
  const uint16_t* distribution() const { return block_.data() + distAt_; }
  uint16_t* distribution() { return block_.data() + distAt_; }
  uint16_t* counts() { return block_.data() + countsAt_; }

  // Above any valid quotient the decoder forms (those stay below 2^15 + 2^7); a
  // larger one only comes from a corrupt stream.
  static constexpr uint16_t kOpenEnd = 0xFFFFu;

  uint32_t symbols_;
  uint32_t lastSymbol_;
  uint32_t tableSize_ = 0;
  uint32_t tableShift_ = 0;
  uint32_t symbolsAt_ = 0;
  uint32_t distAt_ = 0;
  uint32_t countsAt_ = 0;
  uint32_t totalCount_ = 0;
  uint32_t updateCycle_ = 0;
  uint32_t symbolsUntilUpdate_ = 0;
  std::vector<uint16_t> block_;  // bin bounds, bin symbols, distribution, counts
};

}  // namespace kl::las
