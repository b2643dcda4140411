#include "cloud/las/point14_v3_decoder.h"

namespace kl::las::layered {

bool Point14V3Decoder::start(const uint8_t* firstRecord, const LayerBytes* layers,
                             uint32_t* context) {
  missingXY_ = false;
  presentLayers_ = 0;
  for (uint32_t i = 0; i < kPoint14Layers; ++i) {
    if (layers[i].size == 0) continue;
    presentLayers_ |= 1u << i;
    if (!dec_[i].init(layers[i].data, layers[i].size)) return false;
  }
  attributes_ = (presentLayers_ >> kLayerClassification) != 0;
  const Point14Record first = Point14Record::unpack(firstRecord);
  active_ = 0;
  current_ = first.scannerChannel;
  createContext(current_, first);
  *context = current_;
  return true;
}

Point14Context& Point14V3Decoder::createContext(uint32_t channel, const Point14Record& seed) {
  auto& slot = contexts_[channel];
  if (!slot) slot = std::make_unique<Point14Context>();
  slot->start(seed, presentLayers_);
  active_ |= 1u << channel;
  return *slot;
}

bool Point14V3Decoder::overrun() const {
  if (missingXY_) return true;
  for (uint32_t i = 0; i < kPoint14Layers; ++i) {
    if (present(i) && dec_[i].overrun()) return true;
  }
  return false;
}

// The layers past z, in their order of the stream.
void Point14V3Decoder::decodeAttributes(Point14Context& c, uint32_t n, uint32_t r, uint32_t changed) {
  Point14Record& last = c.last;
  const bool pointSourceChanged = (changed & (1u << 5)) != 0;
  const bool gpsChanged = (changed & (1u << 4)) != 0;
  const bool scanAngleChanged = (changed & (1u << 3)) != 0;
  const uint32_t gpsBit = gpsChanged ? 1u : 0u;
  const uint32_t cpr = currentReturnContext(n, r);
  if (present(kLayerClassification)) {
    const uint32_t ctx = ((static_cast<uint32_t>(last.classification) & 0x1F) << 1) + (cpr == 3 ? 1u : 0u);
    last.classification = static_cast<uint8_t>(dec_[kLayerClassification].decodeSymbol(c.classification[ctx]));
  }
  if (present(kLayerFlags)) {
    const uint32_t f = dec_[kLayerFlags].decodeSymbol(c.flags[last.flags()]);
    last.edgeOfFlightLine = static_cast<uint8_t>((f >> 5) & 1);
    last.scanDirection = static_cast<uint8_t>((f >> 4) & 1);
    last.classFlags = static_cast<uint8_t>(f & 0x0F);
  }
  if (present(kLayerIntensity)) {
    uint16_t& predicted = c.lastIntensity[(cpr << 1) | gpsBit];
    last.intensity = static_cast<uint16_t>(c.intensity.decompress(dec_[kLayerIntensity], predicted, cpr));
    predicted = last.intensity;
  }
  if (present(kLayerScanAngle) && scanAngleChanged) {
    last.scanAngle = static_cast<uint16_t>(c.scanAngle.decompress(dec_[kLayerScanAngle], last.scanAngle, gpsBit));
  }
  if (present(kLayerUserData)) {
    last.userData = static_cast<uint8_t>(dec_[kLayerUserData].decodeSymbol(c.userData[last.userData >> 2]));
  }
  if (present(kLayerPointSource) && pointSourceChanged) {
    last.pointSourceId =
        static_cast<uint16_t>(c.pointSource.decompress(dec_[kLayerPointSource], last.pointSourceId));
  }
  if (present(kLayerGpsTime) && gpsChanged) {
    decodeGpsTime(c);
    last.gpsTime = c.gpsTime[c.gpsLast];
  }
}

template <bool kAttributes>
void Point14V3Decoder::decodeAs(uint8_t* out, uint32_t* context) {
  // Every point after the first is coded in this layer, so a chunk of several points
  // without it is corrupt; its decoder was never given data and holds a zero range.
  if (!present(kLayerChannelReturnsXY)) {
    missingXY_ = true;
    return;
  }
  ArithmeticDecoder& xy = dec_[kLayerChannelReturnsXY];
  Point14Context* c = contexts_[current_].get();

  const uint32_t changed = xy.decodeSymbol(c->changedValues[previousReturnContext(c->last)]);
  if (changed & (1u << 6)) {
    const uint32_t channel = (current_ + xy.decodeSymbol(c->scannerChannel) + 1) & 3;
    if (!(active_ & (1u << channel))) createContext(channel, c->last);
    current_ = channel;
    *context = channel;
    c = contexts_[channel].get();
    c->last.scannerChannel = static_cast<uint8_t>(channel);
  } else if (contextFix_) {
    *context = current_;
  }
  Point14Record& last = c->last;

  const bool gpsChanged = (changed & (1u << 4)) != 0;
  const uint32_t gpsBit = gpsChanged ? 1u : 0u;

  uint32_t n = last.numberOfReturns;
  if (changed & (1u << 2)) {
    n = xy.decodeSymbol(c->numberOfReturns[n]);
    last.numberOfReturns = static_cast<uint8_t>(n);
  }
  uint32_t r = last.returnNumber;
  switch (changed & 3u) {
    case 1: r = (r + 1) & 15; break;
    case 2: r = (r + 15) & 15; break;
    case 3:
      if (gpsChanged) {
        r = xy.decodeSymbol(c->returnNumber[r]);
      } else {
        r = (r + xy.decodeSymbol(c->returnNumberGpsSame) + 2) & 15;
      }
      break;
    default: break;
  }
  last.returnNumber = static_cast<uint8_t>(r);

  const uint32_t m = returnMap(n, r);
  const uint32_t l = returnLevel(n, r);
  const uint32_t single = n == 1 ? 1u : 0u;

  StreamingMedian5& mx = c->medianX[(m << 1) | gpsBit];
  const int32_t dx = c->dX.decompress(xy, mx.get(), single);
  last.x = static_cast<int32_t>(static_cast<uint32_t>(last.x) + static_cast<uint32_t>(dx));
  mx.add(dx);
  const uint32_t kx = c->dX.getK();
  StreamingMedian5& my = c->medianY[(m << 1) | gpsBit];
  const int32_t dy = c->dY.decompress(xy, my.get(), dyContext(n, kx));
  last.y = static_cast<int32_t>(static_cast<uint32_t>(last.y) + static_cast<uint32_t>(dy));
  my.add(dy);

  if (present(kLayerZ)) {
    last.z = c->z.decompress(dec_[kLayerZ], c->lastZ[l], zContext(n, kx, c->dY.getK()));
    c->lastZ[l] = last.z;
  }
  if constexpr (kAttributes) decodeAttributes(*c, n, r, changed);

  last.pack(out);
  last.gpsTimeChanged = gpsChanged;
}

void Point14V3Decoder::decodeGpsTime(Point14Context& c) {
  ArithmeticDecoder& dec = dec_[kLayerGpsTime];
  // A valid stream switches the sequence at most once per point; corrupt input must not spin.
  for (int hop = 0; hop < 8; ++hop) {
    const uint32_t seq = c.gpsLast;
    if (c.gpsDiff[seq] == 0) {
      const uint32_t s = dec.decodeSymbol(c.gps0Diff);
      if (s == 0) {
        c.gpsDiff[seq] = c.gps.decompress(dec, 0, 0);
        c.gpsTime[seq] += static_cast<uint64_t>(static_cast<int64_t>(c.gpsDiff[seq]));
        c.gpsExtremeCounter[seq] = 0;
        return;
      }
      if (s == 1) return decodeFullGpsTime(c);
      c.gpsLast = (seq + s - 1) & 3;
      continue;
    }
    const uint32_t s = dec.decodeSymbol(c.gpsMulti);
    if (s == 1) {
      c.gpsTime[seq] += static_cast<uint64_t>(static_cast<int64_t>(c.gps.decompress(dec, c.gpsDiff[seq], 1)));
      c.gpsExtremeCounter[seq] = 0;
      return;
    }
    if (s < kGpsMultiCodeFull) {
      const uint32_t lastDiff = static_cast<uint32_t>(c.gpsDiff[seq]);
      int32_t diff;
      bool extreme = false;
      if (s == 0) {
        diff = c.gps.decompress(dec, 0, 7);
        extreme = true;
      } else if (s < static_cast<uint32_t>(kGpsMulti)) {
        diff = c.gps.decompress(dec, static_cast<int32_t>(s * lastDiff), s < 10 ? 2 : 3);
      } else if (s == static_cast<uint32_t>(kGpsMulti)) {
        diff = c.gps.decompress(dec, static_cast<int32_t>(s * lastDiff), 4);
        extreme = true;
      } else {
        const int32_t multi = kGpsMulti - static_cast<int32_t>(s);
        if (multi > kGpsMultiMinus) {
          diff = c.gps.decompress(dec, static_cast<int32_t>(static_cast<uint32_t>(multi) * lastDiff), 5);
        } else {
          diff = c.gps.decompress(dec, static_cast<int32_t>(static_cast<uint32_t>(kGpsMultiMinus) * lastDiff), 6);
          extreme = true;
        }
      }
      if (extreme && ++c.gpsExtremeCounter[seq] > 3) {
        c.gpsDiff[seq] = diff;
        c.gpsExtremeCounter[seq] = 0;
      }
      c.gpsTime[seq] += static_cast<uint64_t>(static_cast<int64_t>(diff));
      return;
    }
    if (s == kGpsMultiCodeFull) return decodeFullGpsTime(c);
    c.gpsLast = (seq + s - kGpsMultiCodeFull) & 3;
  }
}

// A full time starts a new sequence: the high half predicted from the current one, the low half raw.
void Point14V3Decoder::decodeFullGpsTime(Point14Context& c) {
  ArithmeticDecoder& dec = dec_[kLayerGpsTime];
  const uint32_t seq = c.gpsLast;
  c.gpsNext = (c.gpsNext + 1) & 3;
  const uint32_t high = static_cast<uint32_t>(c.gps.decompress(dec, static_cast<int32_t>(c.gpsTime[seq] >> 32), 8));
  c.gpsTime[c.gpsNext] = (static_cast<uint64_t>(high) << 32) | dec.readInt();
  c.gpsLast = c.gpsNext;
  c.gpsDiff[c.gpsLast] = 0;
  c.gpsExtremeCounter[c.gpsLast] = 0;
}

template void Point14V3Decoder::decodeAs<true>(uint8_t*, uint32_t*);
template void Point14V3Decoder::decodeAs<false>(uint8_t*, uint32_t*);

}  // namespace kl::las::layered
