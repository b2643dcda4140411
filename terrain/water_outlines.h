#pragma once
// The water cells of a ground grid as closed outlines, each one flat surface
// at the water level: a mesh over the whole frame would lay a lake over dry
// land.
#include <vector>

#include "geodata/geometry.h"
#include "terrain/cloud_ground_grid.h"

namespace kl::terrain {

using Ring = std::vector<geo::Point2d>;  // closed: the first point repeated at the end

struct WaterSurface {
  double level = 0.0;  // metres above sea level
  std::vector<Ring> outlines;
};

// Outlines half a node away from the water nodes (node (c, r) at the corner
// of cell (c, r)), so that a single water cell still has an area. Islands
// are left out: the outline within another is not a surface of its own.
// Empty without a water surface (waterLevel NaN).
WaterSurface waterSurface(const CloudGroundGrid& grid);

}  // namespace kl::terrain
