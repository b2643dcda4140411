#pragma once

#include <bit>
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
    data_ = data;
    size_ = size;
    pos_ = 0;
    overrun_ = false;
    length_ = kAcMaxLength;
    value_ = 0;
    for (int i = 0; i < 4; ++i) value_ = (value_ << 8) | nextByte();
    return !overrun_;
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
    const uint32_t* dist = m.storage_.data();
    uint32_t sym, x, y = length_;
    length_ >>= kSymbolLengthShift;
    const uint32_t dv = value_ / length_;
    uint32_t t = dv >> m.tableShift_;
    // a value beyond the interval only happens on corrupt data: the last bin gives the last symbol
    t = t < m.tableSize_ ? t : m.tableSize_;
    const uint64_t* table = m.table_.data();
    const uint64_t e = table[t];
    sym = ArithmeticModel::entrySymbol(e);
    const uint32_t high = ArithmeticModel::entryHigh(e);
    if (dv < high) [[likely]] {
      x = ArithmeticModel::entryLow(e) * length_;
      y = sym != m.lastSymbol_ ? high * length_ : y;
    } else {
      // the bin spans several intervals: bisect up to the symbol that holds the next bin's start
      ++sym;
      uint32_t hi = ArithmeticModel::entrySymbol(table[t + 1]) + 1;
      // branch-free bisection: the outcome of each step is unpredictable by nature
      while (hi > sym + 1) {
        const uint32_t mid = (sym + hi) >> 1;
        const bool above = dist[mid] > dv;
        hi = above ? mid : hi;
        sym = above ? sym : mid;
      }
      x = dist[sym] * length_;
      if (sym != m.lastSymbol_) y = dist[sym + 1] * length_;
    }
    value_ -= x;
    length_ = y - x;
    renormalize();
    ++m.storage_[m.symbols_ + sym];
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

  bool overrun() const { return overrun_; }
  size_t consumed() const { return pos_; }

 private:
  // at most 19 bits, so the shifted length keeps enough precision
  KL_LAS_INLINE uint32_t readFewBits(uint32_t bits) {
    length_ >>= bits;
    uint32_t sym = value_ / length_;
    value_ -= length_ * sym;
    renormalize();
    if (sym >> bits) {
      overrun_ = true;  // corrupt stream
      sym &= (1u << bits) - 1;
    }
    return sym;
  }
  KL_LAS_INLINE uint32_t nextByte() {
    if (pos_ < size_) return data_[pos_++];
    ++pos_;
    overrun_ = true;
    return 0;
  }
  // Whether the length needs 0, 1, 2 or 3 more bytes is close to random, so away from
  // the stream's end the bytes are taken without a branch: a 4-byte big-endian window,
  // of which the top bytes_needed bytes shift in.
  KL_LAS_INLINE void renormalize() {
    if (size_ >= 4 && pos_ <= size_ - 4) [[likely]] {
      const uint32_t shift = static_cast<uint32_t>(std::countl_zero(length_)) & ~7u;
      uint32_t window;
      std::memcpy(&window, data_ + pos_, 4);
      window = __builtin_bswap32(window);
      value_ = static_cast<uint32_t>((static_cast<uint64_t>(value_) << shift) | (static_cast<uint64_t>(window) >> (32 - shift)));
      length_ = static_cast<uint32_t>(static_cast<uint64_t>(length_) << shift);
      pos_ += shift >> 3;
    } else if (length_ < kAcMinLength) {
      do {
        value_ = (value_ << 8) | nextByte();
        length_ <<= 8;
      } while (length_ < kAcMinLength);
    }
  }

  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  size_t pos_ = 0;
  uint32_t value_ = 0;
  uint32_t length_ = 0;
  bool overrun_ = false;
};

}  // namespace kl::las
