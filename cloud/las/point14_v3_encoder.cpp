#include "cloud/las/point14_v3_encoder.h"

#include <cmath>

namespace kl::las::layered {

namespace {

bool fitsInt32(uint64_t delta) {
  const auto d = static_cast<int64_t>(delta);
  return d >= INT32_MIN && d <= INT32_MAX;
}

// Nearest integer multiplier between two time differences, kept within a range where the
// conversion is defined (anything beyond the coded multipliers is treated alike).
int32_t quantizedMultiplier(int32_t diff, int32_t lastDiff) {
  float ratio = static_cast<float>(diff) / static_cast<float>(lastDiff);
  ratio = std::fmax(-1.0e6f, std::fmin(1.0e6f, ratio));
  return ratio >= 0 ? static_cast<int32_t>(ratio + 0.5f) : static_cast<int32_t>(ratio - 0.5f);
}

}  // namespace

void Point14V3Encoder::start(const uint8_t* firstRecord, uint32_t* context) {
  const Point14Record first = Point14Record::unpack(firstRecord);
  for (auto& c : contexts_) c.reset();
  current_ = first.scannerChannel;
  createContext(current_, first);
  *context = current_;
  for (uint32_t i = 0; i < kPoint14Layers; ++i) {
    bytes_[i].clear();
    enc_[i].init(&bytes_[i]);
    changed_[i] = false;
  }
  changed_[kLayerChannelReturnsXY] = true;
}

Point14Context& Point14V3Encoder::createContext(uint32_t channel, const Point14Record& seed) {
  auto& slot = contexts_[channel];
  if (!slot) slot = std::make_unique<Point14Context>();
  slot->start(seed);
  return *slot;
}

void Point14V3Encoder::finish() {
  for (uint32_t i = 0; i < kPoint14Layers; ++i) {
    enc_[i].done();
    if (!changed_[i]) bytes_[i].clear();
  }
}

void Point14V3Encoder::encode(const uint8_t* record, uint32_t* context) {
  const Point14Record p = Point14Record::unpack(record);
  ArithmeticEncoder& xy = enc_[kLayerChannelReturnsXY];
  Point14Context* c = contexts_[current_].get();

  // After a channel switch the reader predicts from the new channel's last point, or, for a
  // channel not seen yet in this chunk, from a copy of the current one.
  const uint32_t channel = p.scannerChannel;
  const bool channelChanged = channel != current_;
  const Point14Record& reference = (channelChanged && contexts_[channel]) ? contexts_[channel]->last : c->last;

  const bool pointSourceChanged = p.pointSourceId != reference.pointSourceId;
  const bool gpsChanged = p.gpsTime != reference.gpsTime;
  const bool scanAngleChanged = p.scanAngle != reference.scanAngle;
  const uint32_t lastN = reference.numberOfReturns;
  const uint32_t lastR = reference.returnNumber;
  const uint32_t n = p.numberOfReturns;
  const uint32_t r = p.returnNumber;

  uint32_t changed = (channelChanged ? 1u << 6 : 0u) | (pointSourceChanged ? 1u << 5 : 0u) |
                     (gpsChanged ? 1u << 4 : 0u) | (scanAngleChanged ? 1u << 3 : 0u) | (n != lastN ? 1u << 2 : 0u);
  if (r != lastR) {
    if (r == ((lastR + 1) & 15)) {
      changed |= 1;
    } else if (r == ((lastR + 15) & 15)) {
      changed |= 2;
    } else {
      changed |= 3;
    }
  }
  xy.encodeSymbol(c->changedValues[previousReturnContext(c->last)], changed);

  if (channelChanged) {
    xy.encodeSymbol(c->scannerChannel, ((channel + 4 - current_) & 3) - 1);
    if (!contexts_[channel]) createContext(channel, c->last);
    current_ = channel;
    *context = channel;
    c = contexts_[channel].get();
  } else if (contextFix_) {
    *context = current_;
  }
  Point14Record& last = c->last;
  const uint32_t gpsBit = gpsChanged ? 1u : 0u;

  if (changed & (1u << 2)) xy.encodeSymbol(c->numberOfReturns[lastN], n);
  if ((changed & 3u) == 3u) {
    if (gpsChanged) {
      xy.encodeSymbol(c->returnNumber[lastR], r);
    } else {
      xy.encodeSymbol(c->returnNumberGpsSame, ((r + 16 - lastR) & 15) - 2);
    }
  }

  const uint32_t m = returnMap(n, r);
  const uint32_t l = returnLevel(n, r);
  const uint32_t cpr = currentReturnContext(n, r);
  const uint32_t single = n == 1 ? 1u : 0u;

  StreamingMedian5& mx = c->medianX[(m << 1) | gpsBit];
  const auto dx = static_cast<int32_t>(static_cast<uint32_t>(p.x) - static_cast<uint32_t>(last.x));
  c->dX.compress(xy, mx.get(), dx, single);
  mx.add(dx);
  const uint32_t kx = c->dX.getK();
  StreamingMedian5& my = c->medianY[(m << 1) | gpsBit];
  const auto dy = static_cast<int32_t>(static_cast<uint32_t>(p.y) - static_cast<uint32_t>(last.y));
  c->dY.compress(xy, my.get(), dy, dyContext(n, kx));
  my.add(dy);

  c->z.compress(enc_[kLayerZ], c->lastZ[l], p.z, zContext(n, kx, c->dY.getK()));
  c->lastZ[l] = p.z;
  changed_[kLayerZ] |= p.z != last.z;

  const uint32_t classContext = ((static_cast<uint32_t>(last.classification) & 0x1F) << 1) + (cpr == 3 ? 1u : 0u);
  enc_[kLayerClassification].encodeSymbol(c->classification[classContext], p.classification);
  changed_[kLayerClassification] |= p.classification != last.classification;

  enc_[kLayerFlags].encodeSymbol(c->flags[last.flags()], p.flags());
  changed_[kLayerFlags] |= p.flags() != last.flags();

  uint16_t& predictedIntensity = c->lastIntensity[(cpr << 1) | gpsBit];
  c->intensity.compress(enc_[kLayerIntensity], predictedIntensity, p.intensity, cpr);
  predictedIntensity = p.intensity;
  changed_[kLayerIntensity] |= p.intensity != last.intensity;

  if (scanAngleChanged) {
    c->scanAngle.compress(enc_[kLayerScanAngle], last.scanAngle, p.scanAngle, gpsBit);
    changed_[kLayerScanAngle] = true;
  }

  enc_[kLayerUserData].encodeSymbol(c->userData[last.userData >> 2], p.userData);
  changed_[kLayerUserData] |= p.userData != last.userData;

  if (pointSourceChanged) {
    c->pointSource.compress(enc_[kLayerPointSource], last.pointSourceId, p.pointSourceId);
    changed_[kLayerPointSource] = true;
  }
  if (gpsChanged) {
    encodeGpsTime(*c, p.gpsTime);
    changed_[kLayerGpsTime] = true;
  }

  last = p;
  last.gpsTimeChanged = gpsChanged;
}

void Point14V3Encoder::encodeGpsTime(Point14Context& c, uint64_t time) {
  ArithmeticEncoder& enc = enc_[kLayerGpsTime];
  const uint32_t seq = c.gpsLast;
  const uint64_t delta = time - c.gpsTime[seq];
  const auto diff = static_cast<int32_t>(static_cast<uint32_t>(delta));
  const bool lastWasZero = c.gpsDiff[seq] == 0;

  if (!fitsInt32(delta)) {
    // Maybe the time continues one of the other sequences.
    for (uint32_t i = 1; i < 4; ++i) {
      if (fitsInt32(time - c.gpsTime[(seq + i) & 3])) {
        if (lastWasZero) {
          enc.encodeSymbol(c.gps0Diff, i + 1);
        } else {
          enc.encodeSymbol(c.gpsMulti, kGpsMultiCodeFull + i);
        }
        c.gpsLast = (seq + i) & 3;
        encodeGpsTime(c, time);
        return;
      }
    }
    encodeFullGpsTime(c, lastWasZero ? 1u : kGpsMultiCodeFull, time);
    return;
  }

  if (lastWasZero) {
    enc.encodeSymbol(c.gps0Diff, 0);
    c.gps.compress(enc, 0, diff, 0);
    c.gpsDiff[seq] = diff;
    c.gpsExtremeCounter[seq] = 0;
    c.gpsTime[seq] = time;
    return;
  }

  const int32_t lastDiff = c.gpsDiff[seq];
  const auto scaled = [lastDiff](int32_t multi) {
    return static_cast<int32_t>(static_cast<uint32_t>(multi) * static_cast<uint32_t>(lastDiff));
  };
  const int32_t multi = quantizedMultiplier(diff, lastDiff);
  bool extreme = false;
  if (multi == 1) {
    enc.encodeSymbol(c.gpsMulti, 1);
    c.gps.compress(enc, lastDiff, diff, 1);
    c.gpsExtremeCounter[seq] = 0;
  } else if (multi > 1 && multi < kGpsMulti) {
    enc.encodeSymbol(c.gpsMulti, static_cast<uint32_t>(multi));
    c.gps.compress(enc, scaled(multi), diff, multi < 10 ? 2 : 3);
  } else if (multi >= kGpsMulti) {
    enc.encodeSymbol(c.gpsMulti, static_cast<uint32_t>(kGpsMulti));
    c.gps.compress(enc, scaled(kGpsMulti), diff, 4);
    extreme = true;
  } else if (multi < 0 && multi > kGpsMultiMinus) {
    enc.encodeSymbol(c.gpsMulti, static_cast<uint32_t>(kGpsMulti - multi));
    c.gps.compress(enc, scaled(multi), diff, 5);
  } else if (multi < 0) {
    enc.encodeSymbol(c.gpsMulti, static_cast<uint32_t>(kGpsMulti - kGpsMultiMinus));
    c.gps.compress(enc, scaled(kGpsMultiMinus), diff, 6);
    extreme = true;
  } else {
    enc.encodeSymbol(c.gpsMulti, 0);
    c.gps.compress(enc, 0, diff, 7);
    extreme = true;
  }
  if (extreme && ++c.gpsExtremeCounter[seq] > 3) {
    c.gpsDiff[seq] = diff;
    c.gpsExtremeCounter[seq] = 0;
  }
  c.gpsTime[seq] = time;
}

void Point14V3Encoder::encodeFullGpsTime(Point14Context& c, uint32_t code, uint64_t time) {
  ArithmeticEncoder& enc = enc_[kLayerGpsTime];
  enc.encodeSymbol(code == 1 ? c.gps0Diff : c.gpsMulti, code);
  c.gps.compress(enc, static_cast<int32_t>(c.gpsTime[c.gpsLast] >> 32), static_cast<int32_t>(time >> 32), 8);
  enc.writeInt(static_cast<uint32_t>(time));
  c.gpsNext = (c.gpsNext + 1) & 3;
  c.gpsLast = c.gpsNext;
  c.gpsDiff[c.gpsLast] = 0;
  c.gpsExtremeCounter[c.gpsLast] = 0;
  c.gpsTime[c.gpsLast] = time;
}

}  // namespace kl::las::layered
