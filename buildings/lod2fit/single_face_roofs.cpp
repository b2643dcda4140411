// Roofs of one top face: flat at the eave, or a single slope.
#include <algorithm>
#include <cmath>

#include "buildings/lod2fit/roof_shapes.h"
#include "buildings/lod2fit/roof_walls.h"

namespace kl::buildings::lod2fit {
namespace {

void topFaceRoof(RoofMesh& mesh, const RoofParams& params, const Footprint& ccw, const std::vector<double>& tops) {
  if (const auto top = appendPrism(mesh, ccw, params.groundZ, tops)) appendTopFace(mesh, *top, ccw.size());
}

}  // namespace

void flatRoof(RoofMesh& mesh, const RoofParams& params, const Footprint& footprint) {
  const Footprint ccw = counterClockwise(footprint);
  topFaceRoof(mesh, params, ccw, std::vector<double>(ccw.size(), params.eaveZ));
}

// Rises from the eave to the ridge height across the main direction, from
// the lowest to the highest vertex; a footprint without width across it
// stays at the eave rather than divide by nothing.
void shedRoof(RoofMesh& mesh, const RoofParams& params, const Footprint& footprint) {
  const Footprint ccw = counterClockwise(footprint);
  const double length = std::hypot(params.dirX, params.dirY);
  const double ax = length > 1e-12 ? -params.dirY / length : 0.0;
  const double ay = length > 1e-12 ? params.dirX / length : 1.0;
  std::vector<double> across;
  for (const geo::Point2d& p : ccw) across.push_back(p.x * ax + p.y * ay);
  if (across.empty()) return;
  const auto [low, high] = std::minmax_element(across.begin(), across.end());
  const double spread = *high - *low;
  std::vector<double> tops;
  for (double s : across)
    tops.push_back(spread < 1e-9 ? params.eaveZ
                                 : params.eaveZ + (s - *low) / spread * (params.ridgeZ - params.eaveZ));
  topFaceRoof(mesh, params, ccw, tops);
}

}  // namespace kl::buildings::lod2fit
