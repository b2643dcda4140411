#pragma once
// A footprint lifted onto a plane.
#include "buildings/reconstruction_result.h"
#include "geodata/gis_feature.h"

namespace kl::buildings {

// nx·x + ny·y + nz·z + d = 0, (nx, ny, nz) of unit length.
struct Plane {
    double nx = 0, ny = 0, nz = 1, d = 0;
};

inline Plane horizontalPlane(double height) { return {0, 0, 1, -height}; }

// Each vertex at the plane's height over it; a vertical plane has no such
// height and gives 0.
Face liftRing(const geo::Ring& ring, const Plane& plane);

}  // namespace kl::buildings
