#pragma once

#include "geodata/geometry.h"

namespace kl::geo {

inline constexpr int kEpsgPl1992 = 2180;
inline constexpr int kEpsgPl2000Zone5 = 2176;
inline constexpr int kEpsgPl2000Zone8 = 2179;
inline constexpr int kEpsgWgs84 = 4326;

constexpr bool isPl2000Epsg(int epsg) noexcept {
  return epsg >= kEpsgPl2000Zone5 && epsg <= kEpsgPl2000Zone8;
}

Point2d wgs84ToPl1992(double latDeg, double lonDeg) noexcept;
LatLon pl1992ToWgs84(double easting, double northing) noexcept;

// The PL-2000 operations accept 2176..2179 only and otherwise throw
// std::invalid_argument("Nieobslugiwany EPSG PL-2000").
Point2d wgs84ToPl2000(double latDeg, double lonDeg, int targetEpsg);
LatLon pl2000ToWgs84(double easting, double northing, int sourceEpsg);
Point2d pl1992ToPl2000(double easting, double northing, int targetEpsg);
Point2d pl2000ToPl1992(double easting, double northing, int sourceEpsg);

// Zone by longitude; the bounds 16.5, 19.5 and 22.5 belong to the eastern zone.
int pl2000EpsgForLongitude(double lonDeg) noexcept;

// WGS84 extent that holds Poland with a small margin, degrees.
inline constexpr double kPolandWest = 14.0, kPolandEast = 24.2, kPolandSouth = 48.9, kPolandNorth = 55.0;

// False for points outside that extent and for non-finite ones.
bool isInsidePoland(double latDeg, double lonDeg) noexcept;

// First-order map from PL-1992 to a PL-2000 zone around a box centre, for
// converting many points of one frame.
struct LocalAffine {
  double sourceCenterX = 0.0;
  double sourceCenterY = 0.0;
  double targetCenterX = 0.0;
  double targetCenterY = 0.0;
  double dxPerSourceX = 0.0;
  double dyPerSourceX = 0.0;
  double dxPerSourceY = 0.0;
  double dyPerSourceY = 0.0;

  Point2d apply(Point2d source) const noexcept {
    const double ex = source.x - sourceCenterX;
    const double ny = source.y - sourceCenterY;
    return {targetCenterX + ex * dxPerSourceX + ny * dxPerSourceY,
            targetCenterY + ex * dyPerSourceX + ny * dyPerSourceY};
  }
};

LocalAffine localAffinePl1992ToPl2000(const Bbox& pl1992Box, int targetEpsg);

// PL-1992 box of a WGS84 frame given as west, south, east, north degrees:
// all four corners are converted.
Bbox pl1992BoxFromWgs84Frame(double west, double south, double east, double north) noexcept;

// PL-2000 box covering a PL-1992 box: all four corners are converted, so the
// box does not lose the strips a two-corner conversion would cut off.
Bbox pl2000BoxFromPl1992(const Bbox& pl1992Box, int targetEpsg);

}  // namespace kl::geo
