#include <algorithm>
#include <cmath>

#include "cloud/las/gpstime11_v2.h"
#include "cloud/las/las_bytes.h"

namespace kl::las {

using namespace gpstime11;

namespace {
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
