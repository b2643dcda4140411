#include <cstring>

#include "cloud/las/las_bytes.h"
#include "cloud/las/point10_v2.h"
#include "cloud/las/point10_v2_tables.h"

namespace kl::las {

Point10V2Codec::Point10V2Codec()
    : changedValues_(64),
      scanAngle_{ArithmeticModel(256), ArithmeticModel(256)},
      icIntensity_(16, 4),
      icPointSource_(16),
      icDx_(32, 2),
      icDy_(32, 22),
      icZ_(32, 20) {}

void Point10V2Codec::init(const uint8_t* p) {
  last_.x = loadLe<int32_t>(p);
  last_.y = loadLe<int32_t>(p + 4);
  last_.z = loadLe<int32_t>(p + 8);
  last_.intensity = 0;
  last_.returns = p[14];
  last_.classification = p[15];
  last_.scanAngle = p[16];
  last_.userData = p[17];
  last_.pointSource = loadLe<uint16_t>(p + 18);
  lastIntensity_.fill(0);
  lastHeight_.fill(0);
  for (auto& m : xMedian_) m.reset();
  for (auto& m : yMedian_) m.reset();
  changedValues_.reset();
  scanAngle_[0].reset();
  scanAngle_[1].reset();
  icIntensity_.resetModels();
  icPointSource_.resetModels();
  icDx_.resetModels();
  icDy_.resetModels();
  icZ_.resetModels();
  ++generation_;
}

void Point10V2Codec::encode(ArithmeticEncoder& enc, const uint8_t* p) {
  Last& l = last_;
  const int32_t x = loadLe<int32_t>(p);
  const int32_t y = loadLe<int32_t>(p + 4);
  const int32_t z = loadLe<int32_t>(p + 8);
  const uint16_t intensity = loadLe<uint16_t>(p + 12);
  const uint8_t returns = p[14];
  const uint8_t classification = p[15];
  const uint8_t scanAngle = p[16];
  const uint8_t userData = p[17];
  const uint16_t pointSource = loadLe<uint16_t>(p + 18);

  const uint32_t r = returns & 7u;
  const uint32_t n = (returns >> 3) & 7u;
  const uint32_t m = kNumberReturnMap[n][r];
  const uint32_t lvl = numberReturnLevel(n, r);
  const uint32_t changed = (returns != l.returns ? 32u : 0u) | (intensity != lastIntensity_[m] ? 16u : 0u) |
                           (classification != l.classification ? 8u : 0u) | (scanAngle != l.scanAngle ? 4u : 0u) |
                           (userData != l.userData ? 2u : 0u) | (pointSource != l.pointSource ? 1u : 0u);
  enc.encodeSymbol(changedValues_, changed);
  if (changed & 32) enc.encodeSymbol(bitByte_.get(l.returns, generation_), returns);
  if (changed & 16) {
    icIntensity_.compress(enc, lastIntensity_[m], intensity, m < 3 ? m : 3);
    lastIntensity_[m] = intensity;
  }
  if (changed & 8) enc.encodeSymbol(classification_.get(l.classification, generation_), classification);
  if (changed & 4) enc.encodeSymbol(scanAngle_[(returns >> 6) & 1u], static_cast<uint8_t>(scanAngle - l.scanAngle));
  if (changed & 2) enc.encodeSymbol(userData_.get(l.userData, generation_), userData);
  if (changed & 1) icPointSource_.compress(enc, l.pointSource, pointSource);

  const int32_t dx = static_cast<int32_t>(static_cast<uint32_t>(x) - static_cast<uint32_t>(l.x));
  icDx_.compress(enc, xMedian_[m].get(), dx, n == 1 ? 1u : 0u);
  xMedian_[m].add(dx);
  const uint32_t kx = icDx_.getK();
  const int32_t dy = static_cast<int32_t>(static_cast<uint32_t>(y) - static_cast<uint32_t>(l.y));
  icDy_.compress(enc, yMedian_[m].get(), dy, point10YContext(n, kx));
  yMedian_[m].add(dy);
  const uint32_t kb = (kx + icDy_.getK()) / 2;
  icZ_.compress(enc, lastHeight_[lvl], z, point10ZContext(n, kb));
  lastHeight_[lvl] = z;

  l = {x, y, z, intensity, returns, classification, scanAngle, userData, pointSource};
}

}  // namespace kl::las
