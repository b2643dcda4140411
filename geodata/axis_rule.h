#pragma once

#include <string_view>

#include "geodata/geometry.h"

namespace kl::geo {

// How the two numbers of a GML position become a PL-1992 point, given the CRS
// that governs the geometry.
struct AxisRule {
  int epsg = 0;
  bool declaredNorthingFirst = false;
  // For geographic CRSs: the name form implies latitude first (urn and
  // /def/crs/ forms follow the EPSG axis order).
  bool declaredLatitudeFirst = false;

  // CRS named by the srsName of the geometry or one of its ancestors.
  static AxisRule fromSrsName(std::string_view srsName) noexcept;
  // No srsName above the geometry: the CRS of the whole document.
  static AxisRule fromDocumentEpsg(int documentEpsg) noexcept;

  // PL-2000 positions are converted to PL-1992; geographic positions
  // (4326/4258, ETRF taken as WGS84) are projected; any other CRS is taken as
  // PL-1992 already.
  Point2d toPl1992(double first, double second) const noexcept;
};

}  // namespace kl::geo
