#pragma once

#include "geodata/geometry.h"

namespace kl::geo {

// GRS80, the ellipsoid of every system handled here.
inline constexpr double kGrs80A = 6378137.0;
inline constexpr double kGrs80F = 1.0 / 298.257222101;

struct RadianLatLon {
  double lat = 0.0;
  double lon = 0.0;
};

// One transverse Mercator grid on GRS80, latitude of origin 0. The central
// meridian's sine and cosine are kept so that moving between two grids costs
// no trigonometric call for the meridians.
struct TmGrid {
  double k0;
  double lon0Rad;
  double sinLon0;
  double cosLon0;
  double falseEasting;
  double falseNorthing;
};
TmGrid makeTmGrid(double k0, double lon0Rad, double falseEasting, double falseNorthing) noexcept;

// Transverse Mercator evaluated with Krueger's series to sixth order in the
// third flattening; the truncation error is far below a micrometre within
// several degrees of the meridian.
Point2d tmForward(const TmGrid& grid, double latRad, double lonRad) noexcept;
RadianLatLon tmInverse(const TmGrid& grid, double easting, double northing) noexcept;
// From one grid to another through the conformal sphere, which both share, so
// the geodetic latitude is never needed.
Point2d tmGridToGrid(const TmGrid& from, const TmGrid& to, double easting, double northing) noexcept;

}  // namespace kl::geo
