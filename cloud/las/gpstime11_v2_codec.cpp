#include <algorithm>
#include <cmath>

#include "cloud/las/gpstime11_v2.h"
#include "cloud/las/las_bytes.h"

namespace kl::las {

namespace {
constexpr uint32_t kMulti = 500;
constexpr int32_t kMultiMinus = -10;
constexpr uint32_t kUnchanged = 511;
constexpr uint32_t kCodeFull = 512;
constexpr uint32_t kSymbols = 516;
constexpr int kMaxSwitches = 4;

int32_t times(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}
bool fitsInt32(int64_t v) { return v >= INT32_MIN && v <= INT32_MAX; }
}  // namespace

GpsTime11V2Codec::GpsTime11V2Codec() : multi_(kSymbols), zeroDiff_(6), ic_(32, 9) {}

void GpsTime11V2Codec::init(const uint8_t* t) {
  multi_.reset();
  zeroDiff_.reset();
  ic_.resetModels();
  last_ = next_ = 0;
  lastTime_ = {loadLe<uint64_t>(t), 0, 0, 0};
  lastDiff_.fill(0);
  extremeCounter_.fill(0);
}

void GpsTime11V2Codec::bumpCounter(int32_t diff) {
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

bool GpsTime11V2Codec::decode(ArithmeticDecoder& shared, uint8_t* out) {
  ArithmeticDecoder dec = shared;  // kept in registers across the symbols
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
    shared = dec;
    return true;
  }
  return false;
}

void GpsTime11V2Codec::encodeFull(ArithmeticEncoder& enc, uint64_t time) {
  ic_.compress(enc, static_cast<int32_t>(lastTime_[last_] >> 32), static_cast<int32_t>(time >> 32), 8);
  enc.writeInt(static_cast<uint32_t>(time));
  next_ = (next_ + 1) & 3;
  last_ = next_;
  lastDiff_[last_] = 0;
  extremeCounter_[last_] = 0;
  lastTime_[last_] = time;
}

void GpsTime11V2Codec::encode(ArithmeticEncoder& enc, const uint8_t* t) {
  const uint64_t time = loadLe<uint64_t>(t);
  for (;;) {
    const int64_t diff64 = static_cast<int64_t>(time - lastTime_[last_]);
    const bool fits = fitsInt32(diff64);
    // another sequence that this time continues closely (a switch is followed by a
    // terminal code, so this loop runs at most twice)
    uint32_t other = 0;
    if (!fits) {
      for (uint32_t i = 1; i < 4 && other == 0; ++i) {
        if (fitsInt32(static_cast<int64_t>(time - lastTime_[(last_ + i) & 3]))) other = i;
      }
    }
    if (lastDiff_[last_] == 0) {
      if (diff64 == 0) {
        enc.encodeSymbol(zeroDiff_, 0);
      } else if (fits) {
        const int32_t d = static_cast<int32_t>(diff64);
        enc.encodeSymbol(zeroDiff_, 1);
        ic_.compress(enc, 0, d, 0);
        lastDiff_[last_] = d;
        lastTime_[last_] = time;
        extremeCounter_[last_] = 0;
      } else if (other != 0) {
        enc.encodeSymbol(zeroDiff_, other + 2);
        last_ = (last_ + other) & 3;
        continue;
      } else {
        enc.encodeSymbol(zeroDiff_, 2);
        encodeFull(enc, time);
      }
      return;
    }
    if (diff64 == 0) {
      enc.encodeSymbol(multi_, kUnchanged);
      return;
    }
    if (!fits) {
      if (other != 0) {
        enc.encodeSymbol(multi_, kCodeFull + other);
        last_ = (last_ + other) & 3;
        continue;
      }
      enc.encodeSymbol(multi_, kCodeFull);
      encodeFull(enc, time);
      return;
    }
    const int32_t d = static_cast<int32_t>(diff64);
    const int32_t ld = lastDiff_[last_];
    const double ratio = static_cast<double>(d) / static_cast<double>(ld);
    const int64_t multiplier = ratio >= 1e6 ? 1000000 : ratio <= -1e6 ? -1000000 : std::llround(ratio);
    if (multiplier == 1) {
      enc.encodeSymbol(multi_, 1);
      ic_.compress(enc, ld, d, 1);
      extremeCounter_[last_] = 0;
    } else if (multiplier > 1 && multiplier < kMulti) {
      const auto s = static_cast<uint32_t>(multiplier);
      enc.encodeSymbol(multi_, s);
      ic_.compress(enc, times(static_cast<int32_t>(s), ld), d, s < 10 ? 2 : 3);
    } else if (multiplier >= kMulti) {
      enc.encodeSymbol(multi_, kMulti);
      ic_.compress(enc, times(static_cast<int32_t>(kMulti), ld), d, 4);
      bumpCounter(d);
    } else if (multiplier < 0 && multiplier > kMultiMinus) {
      enc.encodeSymbol(multi_, static_cast<uint32_t>(static_cast<int64_t>(kMulti) - multiplier));
      ic_.compress(enc, times(static_cast<int32_t>(multiplier), ld), d, 5);
    } else if (multiplier <= kMultiMinus) {
      enc.encodeSymbol(multi_, static_cast<uint32_t>(static_cast<int32_t>(kMulti) - kMultiMinus));
      ic_.compress(enc, times(kMultiMinus, ld), d, 6);
      bumpCounter(d);
    } else {
      enc.encodeSymbol(multi_, 0);
      ic_.compress(enc, 0, d, 7);
      bumpCounter(d);
    }
    lastTime_[last_] = time;
    return;
  }
}

}  // namespace kl::las
