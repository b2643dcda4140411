#pragma once
// The roof type a set of planes makes, with how sure the choice is and the
// ridge direction the planes point to.
#include <optional>
#include <string>
#include <vector>

#include "buildings/lod2fit/roof_plane.h"
#include "geodata/geometry.h"

namespace kl::buildings::lod2fit {

struct RoofClass {
  std::string name;  // "Flat", "Shed", "Gabled", "AsymGabled" or "Hipped"
  double confidence = 1.0;
  int slopedPlanes = 0;
  int pairs = 0;
  // The planes kept after merging, largest support first; the first sloped
  // plane's partner when it has one.
  std::vector<RoofPlane> sloped, flat;
  std::optional<size_t> firstPartner;
  // Unit ridge direction with the main plane's eave on its right; none when
  // no plane slopes.
  std::optional<geo::Point2d> ridge;
};

// Similar planes are merged, the ones carrying 8 % of the points or less are
// dropped, and facing slopes are paired before the table decides.
RoofClass classifyRoof(const std::vector<RoofPlane>& planes, const std::vector<Point3d>& roofPoints);

}  // namespace kl::buildings::lod2fit
