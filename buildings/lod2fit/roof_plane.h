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

// The least-squares plane of buildings::fitPlane, as a roof plane.
std::optional<RoofPlane> fitRoofPlane(std::span<const Point3d> points);

}  // namespace kl::buildings::lod2fit
