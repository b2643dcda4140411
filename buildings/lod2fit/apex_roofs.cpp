// Roofs that rise from every wall to one apex above the mean of the
// footprint's vertices, through rings of the footprint shrunk towards it.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

#include "buildings/lod2fit/roof_shapes.h"
#include "buildings/lod2fit/roof_walls.h"

namespace kl::buildings::lod2fit {
namespace {

struct Ring {
  double scale;  // of the footprint about its mean, 1 at the walls
  double z;
};

void apexRoof(RoofMesh& mesh, const RoofParams& params, const Footprint& footprint, const std::vector<Ring>& rings) {
  const Footprint ccw = counterClockwise(footprint);
  const auto top = appendPrism(mesh, ccw, params.groundZ, std::vector<double>(ccw.size(), params.eaveZ));
  if (!top) return;
  const auto n = static_cast<std::uint32_t>(ccw.size());
  geo::Point2d centre{};
  for (const geo::Point2d& p : ccw) centre = {centre.x + p.x / n, centre.y + p.y / n};
  std::uint32_t below = *top;
  for (const Ring& ring : rings) {
    const auto first = static_cast<std::uint32_t>(mesh.vertices.size());
    for (const geo::Point2d& p : ccw)
      appendVertex(mesh, {centre.x + ring.scale * (p.x - centre.x), centre.y + ring.scale * (p.y - centre.y), ring.z});
    for (std::uint32_t i = 0; i < n; ++i) {
      const std::uint32_t j = (i + 1) % n;
      mesh.faces.push_back({below + i, below + j, first + j, first + i});
    }
    below = first;
  }
  const std::uint32_t apex = appendVertex(mesh, {centre.x, centre.y, params.ridgeZ});
  for (std::uint32_t i = 0; i < n; ++i) mesh.faces.push_back({below + i, below + (i + 1) % n, apex});
}

}  // namespace

void tentRoof(RoofMesh& mesh, const RoofParams& params, const Footprint& footprint) {
  apexRoof(mesh, params, footprint, {});
}

// A quarter circle from the eave to the apex in `segments` steps.
void domeRoof(RoofMesh& mesh, const RoofParams& params, const Footprint& footprint) {
  std::vector<Ring> rings;
  // A corrupt count must not build millions of rings.
  const int segments = std::clamp(params.segments, 1, 256);
  for (int k = 1; k < segments; ++k) {
    const double angle = std::numbers::pi / 2.0 * k / segments;
    rings.push_back({std::cos(angle), params.eaveZ + std::sin(angle) * (params.ridgeZ - params.eaveZ)});
  }
  apexRoof(mesh, params, footprint, rings);
}

}  // namespace kl::buildings::lod2fit
