#pragma once
// Roof planes: a least-squares plane through points, and a footprint lifted
// onto a plane.
#include <optional>
#include <span>

#include "buildings/reconstruction_result.h"
#include "geodata/gis_feature.h"

namespace kl::buildings {

// nx*x + ny*y + nz*z + d = 0 with a unit normal.
struct Plane {
    double nx = 0, ny = 0, nz = 1, d = 0;
};

constexpr Plane horizontalPlane(double height) { return {0, 0, 1, -height}; }

// The plane z = a(x - mx) + b(y - my) + c of least squared vertical error
// (mx, my: the mean position). Nothing for fewer than three points, for
// points on one line (or one spot) and for points that are not finite.
std::optional<Plane> fitPlane(std::span<const Point3d> points);

// Each vertex at the plane's height above it; 0 on a vertical plane.
Face liftRing(const geo::Ring& ring, const Plane& plane);

}  // namespace kl::buildings
