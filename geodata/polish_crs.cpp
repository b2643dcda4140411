#include "geodata/polish_crs.h"

#include <array>
#include <stdexcept>

#include "geodata/polygon.h"
#include "geodata/tm_projection.h"

namespace kl::geo {
namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kDegToRad = kPi / 180.0;
constexpr double kRadToDeg = 180.0 / kPi;

const TmGrid& pl1992Grid() {
  static const TmGrid grid = makeTmGrid(0.9993, 19.0 * kDegToRad, 500000.0, -5300000.0);
  return grid;
}

const TmGrid& pl2000Grid(int epsg) {
  if (!isPl2000Epsg(epsg)) {
    throw std::invalid_argument("Nieobslugiwany EPSG PL-2000");
  }
  static const std::array<TmGrid, 4> zones = [] {
    std::array<TmGrid, 4> z{};
    for (int i = 0; i < 4; ++i) {
      z[i] = makeTmGrid(0.999923, (15.0 + 3.0 * i) * kDegToRad, (5 + i) * 1000000.0 + 500000.0, 0.0);
    }
    return z;
  }();
  return zones[static_cast<std::size_t>(epsg - 2176)];
}

Point2d forward(const TmGrid& g, double latDeg, double lonDeg) noexcept {
  return tmForward(g, latDeg * kDegToRad, lonDeg * kDegToRad);
}

LatLon inverse(const TmGrid& g, double easting, double northing) noexcept {
  const RadianLatLon r = tmInverse(g, easting, northing);
  return {r.lat * kRadToDeg, r.lon * kRadToDeg};
}

}  // namespace

Point2d wgs84ToPl1992(double latDeg, double lonDeg) noexcept {
  return forward(pl1992Grid(), latDeg, lonDeg);
}

LatLon pl1992ToWgs84(double easting, double northing) noexcept {
  return inverse(pl1992Grid(), easting, northing);
}

Point2d wgs84ToPl2000(double latDeg, double lonDeg, int targetEpsg) {
  return forward(pl2000Grid(targetEpsg), latDeg, lonDeg);
}

LatLon pl2000ToWgs84(double easting, double northing, int sourceEpsg) {
  return inverse(pl2000Grid(sourceEpsg), easting, northing);
}

Point2d pl1992ToPl2000(double easting, double northing, int targetEpsg) {
  return tmGridToGrid(pl1992Grid(), pl2000Grid(targetEpsg), easting, northing);
}

Point2d pl2000ToPl1992(double easting, double northing, int sourceEpsg) {
  return tmGridToGrid(pl2000Grid(sourceEpsg), pl1992Grid(), easting, northing);
}

int pl2000EpsgForLongitude(double lonDeg) noexcept {
  if (lonDeg < 16.5) return 2176;
  if (lonDeg < 19.5) return 2177;
  if (lonDeg < 22.5) return 2178;
  return 2179;
}

bool isInsidePoland(double latDeg, double lonDeg) noexcept {
  return lonDeg >= kPolandWest && lonDeg <= kPolandEast && latDeg >= kPolandSouth && latDeg <= kPolandNorth;
}

LocalAffine localAffinePl1992ToPl2000(const Bbox& pl1992Box, int targetEpsg) {
  const double cx = (pl1992Box.minX + pl1992Box.maxX) / 2.0;
  const double cy = (pl1992Box.minY + pl1992Box.maxY) / 2.0;
  const Point2d centre = pl1992ToPl2000(cx, cy, targetEpsg);
  const Point2d east = pl1992ToPl2000(cx + 1.0, cy, targetEpsg);
  const Point2d north = pl1992ToPl2000(cx, cy + 1.0, targetEpsg);
  return {cx,
          cy,
          centre.x,
          centre.y,
          east.x - centre.x,
          east.y - centre.y,
          north.x - centre.x,
          north.y - centre.y};
}

Bbox pl1992BoxFromWgs84Frame(double west, double south, double east, double north) noexcept {
  return ringBounds(std::array{wgs84ToPl1992(south, west), wgs84ToPl1992(south, east),
                               wgs84ToPl1992(north, west), wgs84ToPl1992(north, east)});
}

Bbox pl2000BoxFromPl1992(const Bbox& b, int targetEpsg) {
  return ringBounds(std::array{pl1992ToPl2000(b.minX, b.minY, targetEpsg),
                               pl1992ToPl2000(b.maxX, b.minY, targetEpsg),
                               pl1992ToPl2000(b.minX, b.maxY, targetEpsg),
                               pl1992ToPl2000(b.maxX, b.maxY, targetEpsg)});
}

}  // namespace kl::geo
