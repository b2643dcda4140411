#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

#include "cloud/las/arithmetic_decoder.h"
#include "cloud/las/arithmetic_encoder.h"
#include "cloud/las/integer_compressor.h"
#include "cloud/las/las_bytes.h"
#include "cloud/las/las_inline.h"

namespace kl::las {

namespace gpstime11 {
inline constexpr uint32_t kMulti = 500;
inline constexpr int32_t kMultiMinus = -10;
inline constexpr uint32_t kUnchanged = 511;
inline constexpr uint32_t kCodeFull = 512;
inline constexpr uint32_t kSymbols = 516;
inline constexpr int kMaxSwitches = 4;

inline int32_t times(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}
}  // namespace gpstime11

// GPS time of point formats 1, 3, 4, 5: up to four interleaved time sequences, each
// predicted from its last difference times a small multiplier.
class GpsTime11V2Codec {
 public:
  GpsTime11V2Codec();
  void init(const uint8_t* firstTime);
  // false on a corrupt stream (endless sequence switching); inline for the same
  // reason as the core codec's decode()
  KL_LAS_INLINE bool decode(ArithmeticDecoder& dec, uint8_t* out);
  void encode(ArithmeticEncoder& enc, const uint8_t* time);

 private:
  KL_LAS_INLINE void decodeFull(ArithmeticDecoder& dec);
  void encodeFull(ArithmeticEncoder& enc, uint64_t time);
  void bumpCounter(int32_t diff);

  ArithmeticModel multi_;
  ArithmeticModel zeroDiff_;
  IntegerCompressor ic_;
  uint32_t last_ = 0;
  uint32_t next_ = 0;
  std::array<uint64_t, 4> lastTime_{};
  std::array<int32_t, 4> lastDiff_{};
  std::array<int32_t, 4> extremeCounter_{};
};

inline void GpsTime11V2Codec::bumpCounter(int32_t diff) {
  if (++extremeCounter_[last_] > 3) {
    lastDiff_[last_] = diff;
    extremeCounter_[last_] = 0;
  }
}

KL_LAS_INLINE void GpsTime11V2Codec::decodeFull(ArithmeticDecoder& dec) {
  next_ = (next_ + 1) & 3;
  const int32_t high = ic_.decompress(dec, static_cast<int32_t>(lastTime_[last_] >> 32), 8);
  lastTime_[next_] = (static_cast<uint64_t>(static_cast<uint32_t>(high)) << 32) | dec.readInt();
  last_ = next_;
  lastDiff_[last_] = 0;
  extremeCounter_[last_] = 0;
}

KL_LAS_INLINE bool GpsTime11V2Codec::decode(ArithmeticDecoder& dec, uint8_t* out) {
  using namespace gpstime11;
  for (int round = 0; round <= kMaxSwitches; ++round) {
    if (lastDiff_[last_] == 0) {
      const uint32_t s = dec.decodeSymbol(zeroDiff_);
      if (s == 1) {
        const int32_t d = ic_.decompress(dec, 0, 0);
        lastDiff_[last_] = d;
        lastTime_[last_] += static_cast<uint64_t>(static_cast<int64_t>(d));
        extremeCounter_[last_] = 0;
      } else if (s == 2) {
        decodeFull(dec);
      } else if (s > 2) {
        last_ = (last_ + s - 2) & 3;
        continue;
      }
    } else {
      const uint32_t s = dec.decodeSymbol(multi_);
      const int32_t ld = lastDiff_[last_];
      if (s < kUnchanged) {
        // The symbol picks the multiplier of the last difference and the corrector's
        // context; one decoding site for all of them keeps this loop small.
        int32_t multiplier;
        uint32_t context;
        if (s == 0) {
          multiplier = 0;
          context = 7;
        } else if (s < kMulti) {
          multiplier = static_cast<int32_t>(s);
          context = s == 1 ? 1 : (s < 10 ? 2 : 3);
        } else if (s == kMulti) {
          multiplier = static_cast<int32_t>(kMulti);
          context = 4;
        } else {
          multiplier = std::max(static_cast<int32_t>(kMulti) - static_cast<int32_t>(s), kMultiMinus);
          context = multiplier == kMultiMinus ? 6 : 5;
        }
        // extreme multipliers count towards replacing the last difference
        const bool extreme = context == 7 || context == 4 || context == 6;
        const int32_t pred = times(multiplier, ld);
        const int32_t d = ic_.decompress(dec, pred, context);
        if (s == 1) extremeCounter_[last_] = 0;
        if (extreme) bumpCounter(d);
        lastTime_[last_] += static_cast<uint64_t>(static_cast<int64_t>(d));
      } else if (s == kCodeFull) {
        decodeFull(dec);
      } else if (s > kCodeFull) {
        last_ = (last_ + s - kCodeFull) & 3;
        continue;
      }
    }
    storeLe<uint64_t>(out, lastTime_[last_]);
    return true;
  }
  return false;
}

}  // namespace kl::las
