#include "buildings/lod2fit/roof_plane.h"

#include "buildings/plane.h"

namespace kl::buildings::lod2fit {

std::optional<RoofPlane> fitRoofPlane(std::span<const Point3d> points) {
  const std::optional<Plane> fitted = fitPlane(points);
  if (!fitted) return std::nullopt;
  return RoofPlane{fitted->nx, fitted->ny, fitted->nz, fitted->d};
}

}  // namespace kl::buildings::lod2fit
