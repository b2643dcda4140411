#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "cloud/las/arithmetic_model.h"

namespace kl::las {

// Range encoder, the mirror of ArithmeticDecoder. It appends to a caller-owned byte
// vector; done() emits exactly as many bytes as the decoder will consume, so a reader
// can find the end of a stream from the decoder position alone.
class ArithmeticEncoder {
 public:
  void init(std::vector<uint8_t>* out) {
    out_ = out;
    start_ = out->size();
    base_ = 0;
    length_ = kAcMaxLength;
  }

  void encodeBit(ArithmeticBitModel& m, uint32_t bit) {
    const uint32_t x = m.bit0Prob_ * (length_ >> kBitLengthShift);
    if (bit == 0) {
      length_ = x;
      ++m.bit0Count_;
    } else {
      addToBase(x);
      length_ -= x;
    }
    if (length_ < kAcMinLength) renormalize();
    if (--m.bitsUntilUpdate_ == 0) m.update();
  }

  void encodeSymbol(ArithmeticModel& m, uint32_t sym) {
    const uint16_t* dist = m.distribution();
    if (sym == m.lastSymbol_) {
      const uint32_t x = dist[sym] * (length_ >> kSymbolLengthShift);
      addToBase(x);
      length_ -= x;
    } else {
      length_ >>= kSymbolLengthShift;
      const uint32_t x = dist[sym] * length_;
      addToBase(x);
      length_ = dist[sym + 1] * length_ - x;
    }
    if (length_ < kAcMinLength) renormalize();
    ++m.counts()[sym];
    if (--m.symbolsUntilUpdate_ == 0) m.update();
  }

  // raw bits, 1..32
  void writeBits(uint32_t bits, uint32_t value) {
    if (bits > 19) {
      writeShort(static_cast<uint16_t>(value & 0xFFFFu));
      value >>= 16;
      bits -= 16;
    }
    length_ >>= bits;
    addToBase(value * length_);
    if (length_ < kAcMinLength) renormalize();
  }
  void writeShort(uint16_t v) { writeBits(16, v); }
  void writeInt(uint32_t v) {
    writeShort(static_cast<uint16_t>(v & 0xFFFFu));
    writeShort(static_cast<uint16_t>(v >> 16));
  }
  void writeInt64(uint64_t v) {
    writeInt(static_cast<uint32_t>(v));
    writeInt(static_cast<uint32_t>(v >> 32));
  }

  void done();

 private:
  void addToBase(uint32_t x) {
    const uint32_t before = base_;
    base_ += x;
    if (base_ < before) propagateCarry();
  }
  void propagateCarry() {
    size_t i = out_->size();
    while (i > start_) {
      --i;
      uint8_t& b = (*out_)[i];
      if (b != 0xFF) {
        ++b;
        return;
      }
      b = 0;
    }
  }
  void renormalize() {
    do {
      out_->push_back(static_cast<uint8_t>(base_ >> 24));
      base_ <<= 8;
      length_ <<= 8;
    } while (length_ < kAcMinLength);
  }

  std::vector<uint8_t>* out_ = nullptr;
  size_t start_ = 0;
  uint32_t base_ = 0;
  uint32_t length_ = kAcMaxLength;
};

}  // namespace kl::las
