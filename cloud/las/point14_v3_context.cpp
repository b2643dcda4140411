#include "cloud/las/point14_v3_context.h"

#include "cloud/las/layered_bytes.h"

namespace kl::las::layered {

namespace {

constexpr uint8_t kReturnMap[16][16] = {
    {0, 1, 2, 3, 4, 5, 3, 4, 4, 5, 5, 5, 5, 5, 5, 5}, {1, 0, 1, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3},
    {2, 1, 2, 4, 4, 4, 4, 4, 4, 4, 4, 3, 3, 3, 3, 3}, {3, 3, 4, 5, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4},
    {4, 3, 4, 4, 5, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4}, {5, 3, 4, 4, 4, 5, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4},
    {3, 3, 4, 4, 4, 4, 5, 4, 4, 4, 4, 4, 4, 4, 4, 4}, {4, 3, 4, 4, 4, 4, 4, 5, 4, 4, 4, 4, 4, 4, 4, 4},
    {4, 3, 4, 4, 4, 4, 4, 4, 5, 4, 4, 4, 4, 4, 4, 4}, {5, 3, 4, 4, 4, 4, 4, 4, 4, 5, 4, 4, 4, 4, 4, 4},
    {5, 3, 4, 4, 4, 4, 4, 4, 4, 4, 5, 4, 4, 4, 4, 4}, {5, 3, 3, 4, 4, 4, 4, 4, 4, 4, 4, 5, 5, 4, 4, 4},
    {5, 3, 3, 4, 4, 4, 4, 4, 4, 4, 4, 5, 5, 5, 4, 4}, {5, 3, 3, 4, 4, 4, 4, 4, 4, 4, 4, 4, 5, 5, 5, 4},
    {5, 3, 3, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 5, 5, 5}, {5, 3, 3, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 5, 5},
};

}  // namespace

uint32_t returnMap(uint32_t n, uint32_t r) { return kReturnMap[n & 15][r & 15]; }

Point14Record Point14Record::unpack(const uint8_t* p) {
  Point14Record r;
  r.x = static_cast<int32_t>(loadLe<uint32_t>(p));
  r.y = static_cast<int32_t>(loadLe<uint32_t>(p + 4));
  r.z = static_cast<int32_t>(loadLe<uint32_t>(p + 8));
  r.intensity = loadLe<uint16_t>(p + 12);
  r.returnNumber = p[14] & 0x0F;
  r.numberOfReturns = static_cast<uint8_t>(p[14] >> 4);
  r.classFlags = p[15] & 0x0F;
  r.scannerChannel = (p[15] >> 4) & 0x03;
  r.scanDirection = (p[15] >> 6) & 0x01;
  r.edgeOfFlightLine = static_cast<uint8_t>(p[15] >> 7);
  r.classification = p[16];
  r.userData = p[17];
  r.scanAngle = loadLe<uint16_t>(p + 18);
  r.pointSourceId = loadLe<uint16_t>(p + 20);
  r.gpsTime = loadLe<uint64_t>(p + 22);
  return r;
}

void Point14Record::pack(uint8_t* p) const {
  storeLe<uint32_t>(p, static_cast<uint32_t>(x));
  storeLe<uint32_t>(p + 4, static_cast<uint32_t>(y));
  storeLe<uint32_t>(p + 8, static_cast<uint32_t>(z));
  storeLe<uint16_t>(p + 12, intensity);
  p[14] = static_cast<uint8_t>(returnNumber | (numberOfReturns << 4));
  p[15] = static_cast<uint8_t>(classFlags | (scannerChannel << 4) | (scanDirection << 6) | (edgeOfFlightLine << 7));
  p[16] = classification;
  p[17] = userData;
  storeLe<uint16_t>(p + 18, scanAngle);
  storeLe<uint16_t>(p + 20, pointSourceId);
  storeLe<uint64_t>(p + 22, gpsTime);
}

Point14Context::Point14Context()
    : changedValues{ArithmeticModel(128), ArithmeticModel(128), ArithmeticModel(128), ArithmeticModel(128),
                    ArithmeticModel(128), ArithmeticModel(128), ArithmeticModel(128), ArithmeticModel(128)},
      scannerChannel(3),
      numberOfReturns(16, 16),
      returnNumber(16, 16),
      returnNumberGpsSame(13),
      dX(32, 2),
      dY(32, 22),
      z(32, 20),
      classification(64, 256),
      flags(64, 64),
      userData(64, 256),
      intensity(16, 4),
      scanAngle(16, 2),
      pointSource(16, 1),
      gpsMulti(kGpsMultiTotal),
      gps0Diff(5),
      gps(32, 9) {}

void Point14Context::start(const Point14Record& seed, uint32_t layers) {
  last = seed;
  last.gpsTimeChanged = false;
  for (auto& v : lastZ) v = seed.z;
  for (auto& v : lastIntensity) v = seed.intensity;
  for (auto& m : medianX) m.reset();
  for (auto& m : medianY) m.reset();
  gpsLast = gpsNext = 0;
  gpsTime[0] = seed.gpsTime;
  gpsTime[1] = gpsTime[2] = gpsTime[3] = 0;
  for (auto& d : gpsDiff) d = 0;
  for (auto& c : gpsExtremeCounter) c = 0;

  const auto has = [layers](Point14Layer layer) { return (layers & layerBit(layer)) != 0; };
  if (has(kLayerChannelReturnsXY)) {
    for (auto& m : changedValues) m.reset();
    scannerChannel.reset();
    numberOfReturns.restart();
    returnNumber.restart();
    returnNumberGpsSame.reset();
    dX.resetModels();
    dY.resetModels();
  }
  if (has(kLayerZ)) z.resetModels();
  if (has(kLayerClassification)) classification.restart();
  if (has(kLayerFlags)) flags.restart();
  if (has(kLayerUserData)) userData.restart();
  if (has(kLayerIntensity)) intensity.resetModels();
  if (has(kLayerScanAngle)) scanAngle.resetModels();
  if (has(kLayerPointSource)) pointSource.resetModels();
  if (has(kLayerGpsTime)) {
    gpsMulti.reset();
    gps0Diff.reset();
    gps.resetModels();
  }
}

}  // namespace kl::las::layered
