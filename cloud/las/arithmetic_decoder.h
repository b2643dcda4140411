#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "cloud/las/arithmetic_model.h"
#include "cloud/las/las_inline.h"

namespace kl::las {

// Range decoder over one bounded byte stream. Reads past the end yield zero bytes and
// set overrun(), so hostile input can never make it read outside [data, data + size).
class ArithmeticDecoder {
 public:
  // init() reads the 4 initial bytes; false if fewer than 4 are available.
  bool init(const uint8_t* data, size_t size) {
    data_ = cur_ = data;
    end_ = data + size;
    // the branch-free refill reads 4 bytes at once up to here; 0 when the stream is shorter
    fastEnd_ = size >= 4 ? reinterpret_cast<uintptr_t>(data + (size - 4)) : 0;
    pastEnd_ = 0;
    length_ = kAcMaxLength;
    value_ = 0;
    for (int i = 0; i < 4; ++i) value_ = (value_ << 8) | nextByte();
    return !overrun();
  }

  KL_LAS_INLINE uint32_t decodeBit(ArithmeticBitModel& m) {
    const uint32_t x = m.bit0Prob_ * (length_ >> kBitLengthShift);
    uint32_t sym;
    if (value_ < x) {
      sym = 0;
      length_ = x;
      ++m.bit0Count_;
    } else {
      sym = 1;
      value_ -= x;
      length_ -= x;
    }
    renormalize();
    if (--m.bitsUntilUpdate_ == 0) m.update();
    return sym;
  }

  KL_LAS_INLINE uint32_t decodeSymbol(ArithmeticModel& m) {
    const uint16_t* table = m.binSymbols();
    const uint16_t* dist = m.distribution();
    uint32_t x, y = length_;
    length_ >>= kSymbolLengthShift;
    const uint32_t dv = value_ / length_;
    uint32_t t = dv >> m.tableShift_;
    // A quotient beyond the last bin only happens on corrupt data: the last bin gives the
    // last symbol. A branch that is never taken keeps this check off the path from the
    // division to the table load, where a conditional move would sit.
    if (__builtin_expect(t > m.tableSize_, 0)) t = clampedBin(m);
    uint32_t sym = table[t];
    uint32_t bounds;
    std::memcpy(&bounds, m.binBounds() + 2 * static_cast<size_t>(t), 4);
    const uint32_t high = bounds >> 16;
    if (dv < high) [[likely]] {
      x = (bounds & 0xFFFFu) * length_;
      // The last symbol's open end (kOpenEnd, nearly 2^16) times the length is at least
      // the whole range, every other end at most the range: the smaller of the two is
      // the interval's end either way, without a branch on which symbol it was (the
      // last symbol of a small corrector model is common and unpredictable).
      const uint64_t end = static_cast<uint64_t>(high) * length_;
      y = end < y ? static_cast<uint32_t>(end) : y;
    } else if (sym != m.lastSymbol_) {
      // the bin spans several intervals: bisect up to the symbol that holds the next bin's start
      ++sym;
      uint32_t hi = table[t + 1] + 1u;
      // branch-free bisection: the outcome of each step is unpredictable by nature
      while (hi > sym + 1) {
        const uint32_t mid = (sym + hi) >> 1;
        const bool above = dist[mid] > dv;
        hi = above ? mid : hi;
        sym = above ? sym : mid;
      }
      x = dist[sym] * length_;
      if (sym != m.lastSymbol_) y = dist[sym + 1] * length_;
    } else {
      x = dist[sym] * length_;  // a corrupt stream's quotient beyond the open end
    }
    value_ -= x;
    length_ = y - x;
    renormalize();
    ++m.counts()[sym];
    if (--m.symbolsUntilUpdate_ == 0) m.update();
    return sym;
  }

  // raw bits, 1..32
  KL_LAS_INLINE uint32_t readBits(uint32_t bits) {
    if (bits > 19) {
      const uint32_t low = readFewBits(16);
      return (readFewBits(bits - 16) << 16) | low;
    }
    return readFewBits(bits);
  }
  uint32_t readShort() { return readFewBits(16); }
  uint32_t readInt() {
    const uint32_t low = readShort();
    return (readShort() << 16) | low;
  }
  uint64_t readInt64() {
    const uint64_t low = readInt();
    return (static_cast<uint64_t>(readInt()) << 32) | low;
  }

  bool overrun() const { return pastEnd_ != 0; }
  size_t consumed() const { return static_cast<size_t>(cur_ - data_) + (pastEnd_ & ~kCorrupt); }

 private:
  [[gnu::noinline]] static uint32_t clampedBin(const ArithmeticModel& m) { return m.tableSize_; }
  // at most 19 bits, so the shifted length keeps enough precision
  KL_LAS_INLINE uint32_t readFewBits(uint32_t bits) {
    length_ >>= bits;
    uint32_t sym = value_ / length_;
    value_ -= length_ * sym;
    renormalize();
    if (sym >> bits) {
      pastEnd_ |= kCorrupt;
      sym &= (1u << bits) - 1;
    }
    return sym;
  }
  KL_LAS_INLINE uint32_t nextByte() {
    if (cur_ < end_) return *cur_++;
    ++pastEnd_;
    return 0;
  }
  // Whether the length needs 0, 1, 2 or 3 more bytes is close to random, so away from
  // the stream's end the bytes are taken without a branch: a 4-byte big-endian window,
  // of which the top bytes_needed bytes shift in.
  KL_LAS_INLINE void renormalize() {
    if (reinterpret_cast<uintptr_t>(cur_) <= fastEnd_) [[likely]] {
      // The length is never zero (every interval is at least one unit of a length of at
      // least 2^5), so the count needs no test for it, unlike std::countl_zero.
      const uint32_t shift = static_cast<uint32_t>(__builtin_clz(length_)) & ~7u;
      uint32_t window;
      std::memcpy(&window, cur_, 4);
      // value and window side by side: one shift by the same count as the length's
      // moves the window's top bytes in, and the count is needed only once
      const uint64_t both = (static_cast<uint64_t>(value_) << 32) | __builtin_bswap32(window);
      value_ = static_cast<uint32_t>((both << shift) >> 32);
      length_ <<= shift;
      cur_ += shift >> 3;
    } else if (length_ < kAcMinLength) {
      do {
        value_ = (value_ << 8) | nextByte();
        length_ <<= 8;
      } while (length_ < kAcMinLength);
    }
  }

  // A corrupt raw-bits field counts as an overrun too, without adding to consumed().
  static constexpr size_t kCorrupt = size_t{1} << (sizeof(size_t) * 8 - 1);

  const uint8_t* cur_ = nullptr;
  uintptr_t fastEnd_ = 0;
  uint32_t value_ = 0;
  uint32_t length_ = 0;
  const uint8_t* end_ = nullptr;
  const uint8_t* data_ = nullptr;
  size_t pastEnd_ = 0;  // zero bytes taken beyond the end, plus kCorrupt
};

}  // namespace kl::las
