#pragma once
// A roof plane and its least-squares fit through points.
#include <optional>
#include <span>

#include "buildings/lod_building.h"

namespace kl::buildings::lod2fit {

// Unit normal with nz > 0; signed distance = n.p + d.
struct RoofPlane {
  double nx = 0.0, ny = 0.0, nz = 1.0, d = 0.0;

  double distance(const Point3d& p) const { return nx * p.x + ny * p.y + nz * p.z + d; }
};

// z as a linear function of x and y about the points' mean x and y, solved
// on the normal equations; none for fewer than 3 points or a system whose
// determinant is below 1e-9 (points on one vertical line or plane).
std::optional<RoofPlane> fitRoofPlane(std::span<const Point3d> points);

}  // namespace kl::buildings::lod2fit
