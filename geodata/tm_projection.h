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

// Transverse Mercator on GRS80 with latitude of origin 0, evaluated with
// Krueger's series to sixth order in the third flattening; the truncation
// error is far below a micrometre within several degrees of the meridian.
Point2d tmForward(double latRad, double lonRad, double k0, double lon0Rad, double falseEasting,
                  double falseNorthing) noexcept;

RadianLatLon tmInverse(double easting, double northing, double k0, double lon0Rad,
                       double falseEasting, double falseNorthing) noexcept;

}  // namespace kl::geo
