#pragma once

#include <string_view>

#include "geodata/geometry.h"

namespace kl::geo {

// How the two numbers of a GML position become a PL-1992 point, given the CRS
// that governs the geometry.
struct AxisRule {
  int epsg = 0;
  // Only the urn and /def/crs/ forms of a name promise the EPSG axis order
  // (northing first in PL-1992 and PL-2000, latitude first in 4326/4258);
  // "EPSG:2180" and "...epsg.xml#2180" are written easting first, as GDAL
  // reads them too.
  bool declaredNorthingFirst = false;
  bool declaredLatitudeFirst = false;

  // CRS named by the srsName that governs the geometry; an empty name (none
  // anywhere) means PL-1992 easting first.
  static AxisRule fromSrsName(std::string_view srsName) noexcept;

  // PL-2000 positions are converted to PL-1992; geographic positions
  // (4326/4258, ETRF taken as WGS84) are projected; any other CRS is taken as
  // PL-1992 already.
  Point2d toPl1992(double first, double second) const noexcept;
};

}  // namespace kl::geo
