#pragma once

#include <cstdint>

#include "cloud/las/arithmetic_model.h"
#include "cloud/las/integer_compressor.h"
#include "cloud/las/layered_context.h"
#include "cloud/las/streaming_median5.h"

namespace kl::las::layered {

inline constexpr uint32_t kPoint14Size = 30;
inline constexpr uint32_t kPoint14Layers = 9;

enum Point14Layer : uint32_t {
  kLayerChannelReturnsXY = 0,
  kLayerZ,
  kLayerClassification,
  kLayerFlags,
  kLayerIntensity,
  kLayerScanAngle,
  kLayerUserData,
  kLayerPointSource,
  kLayerGpsTime,
};

// The 30-byte core of a format 6-10 record, unpacked.
struct Point14Record {
  int32_t x = 0, y = 0, z = 0;
  uint16_t intensity = 0;
  uint8_t returnNumber = 0, numberOfReturns = 0;
  uint8_t classFlags = 0, scannerChannel = 0, scanDirection = 0, edgeOfFlightLine = 0;
  uint8_t classification = 0, userData = 0;
  uint16_t scanAngle = 0;  // i16 on the wire, kept as its bit pattern
  uint16_t pointSourceId = 0;
  uint64_t gpsTime = 0;    // f64 bit pattern
  bool gpsTimeChanged = false;

  static Point14Record unpack(const uint8_t* p);
  void pack(uint8_t* p) const;
  uint32_t flags() const {
    return (static_cast<uint32_t>(edgeOfFlightLine) << 5) | (static_cast<uint32_t>(scanDirection) << 4) | classFlags;
  }
};

// Which of 6 return classes (and of 8 return levels) a return number / count pair belongs to.
uint32_t returnMap(uint32_t n, uint32_t r);
inline uint32_t returnLevel(uint32_t n, uint32_t r) {
  const uint32_t d = n > r ? n - r : r - n;
  return d < 7 ? d : 7;
}

// Multiplier codes of the time coder.
inline constexpr int32_t kGpsMulti = 500;
inline constexpr int32_t kGpsMultiMinus = -10;
inline constexpr uint32_t kGpsMultiCodeFull = 511;
inline constexpr uint32_t kGpsMultiTotal = 515;

inline constexpr uint32_t layerBit(Point14Layer layer) { return 1u << layer; }
inline constexpr uint32_t kAllPoint14Layers = (1u << kPoint14Layers) - 1;

// Everything one scanner channel predicts from: last values and the models of all nine layers.
struct Point14Context {
  Point14Context();
  // Restarts the context at seed. Only the models of the layers in the mask are reset:
  // a layer left out is never read until the next start, and resetting the large tables
  // of the time and intensity coders would cost a reader that skips them at every chunk.
  void start(const Point14Record& seed, uint32_t layers = kAllPoint14Layers);

  Point14Record last;
  int32_t lastZ[8];
  uint16_t lastIntensity[8];
  StreamingMedian5 medianX[12];
  StreamingMedian5 medianY[12];

  uint32_t gpsLast = 0, gpsNext = 0;
  uint64_t gpsTime[4];
  int32_t gpsDiff[4];
  int32_t gpsExtremeCounter[4];

  ArithmeticModel changedValues[8];
  ArithmeticModel scannerChannel;
  LazyModels numberOfReturns;
  LazyModels returnNumber;
  ArithmeticModel returnNumberGpsSame;
  IntegerCompressor dX, dY, z;
  LazyModels classification;
  LazyModels flags;
  LazyModels userData;
  IntegerCompressor intensity, scanAngle, pointSource;
  ArithmeticModel gpsMulti, gps0Diff;
  IntegerCompressor gps;
};

// Context of the first/last return of a point from the point before: lpr uses first = 1,
// last = 2 while the current point's cpr uses first = 2, last = 1.
inline uint32_t previousReturnContext(const Point14Record& last) {
  return (last.returnNumber == 1 ? 1u : 0u) + (last.returnNumber >= last.numberOfReturns ? 2u : 0u) +
         (last.gpsTimeChanged ? 4u : 0u);
}
inline uint32_t currentReturnContext(uint32_t n, uint32_t r) { return (r == 1 ? 2u : 0u) + (r >= n ? 1u : 0u); }

inline uint32_t dyContext(uint32_t n, uint32_t kx) { return (n == 1 ? 1u : 0u) + (kx < 20 ? (kx & ~1u) : 20u); }
inline uint32_t zContext(uint32_t n, uint32_t kx, uint32_t ky) {
  const uint32_t kb = (kx + ky) / 2;
  return (n == 1 ? 1u : 0u) + (kb < 18 ? (kb & ~1u) : 18u);
}

}  // namespace kl::las::layered
