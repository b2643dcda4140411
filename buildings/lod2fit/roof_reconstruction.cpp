#include "buildings/lod2fit/roof_reconstruction.h"

#include <algorithm>
#include <cmath>

#include "buildings/lod2fit/mesh_fit_error.h"
#include "buildings/lod2fit/plane_search.h"
#include "buildings/lod2fit/roof_alignment.h"
#include "buildings/lod2fit/roof_classifier.h"
#include "buildings/lod2fit/roof_heights.h"
#include "buildings/lod2fit/roof_primitive.h"
#include "buildings/lod2fit/roof_segmentation.h"
#include "buildings/lod2fit/roof_walls.h"

namespace kl::buildings::lod2fit {
namespace {

bool finite(const Point3d& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

bool usableFootprint(const Footprint& footprint) {
  if (footprint.size() < 3) return false;
  if (!std::all_of(footprint.begin(), footprint.end(),
                   [](const geo::Point2d& p) { return std::isfinite(p.x) && std::isfinite(p.y); }))
    return false;
  return std::abs(doubledArea(footprint)) >= 1e-6;
}

// The longest edge's direction, the fit's default ridge.
geo::Point2d longestEdgeDirection(const Footprint& footprint) {
  const size_t i = longestEdge(footprint);
  const geo::Point2d& a = footprint[i];
  const geo::Point2d& b = footprint[(i + 1) % footprint.size()];
  const double length = std::hypot(b.x - a.x, b.y - a.y);
  return length > 1e-9 ? geo::Point2d{(b.x - a.x) / length, (b.y - a.y) / length} : geo::Point2d{1.0, 0.0};
}

}  // namespace

bool needsReview(double meanError, double confidence) { return !(meanError < 1.6 && confidence >= 0.5); }

RoofFitResult reconstructRoof(const RoofFitInput& input) {
  RoofFitResult result;
  result.params = input.params;
  result.params.groundZ = input.groundZ;
  if (!usableFootprint(input.footprint) || !std::isfinite(input.groundZ)) {
    result.primitive = "Flat";
    return result;
  }
  const RoofFrame frame(input.footprint);
  Footprint footprint;
  for (const geo::Point2d& p : input.footprint) footprint.push_back(frame.toAligned(p));
  std::vector<Point3d> points;
  points.reserve(input.points.size());
  for (const Point3d& p : input.points) {
    if (!finite(p)) continue;
    const geo::Point2d q = frame.toAligned({p.x, p.y});
    points.push_back({q.x, q.y, p.z});
  }

  const RoofPoints roof = segmentRoofPoints(points, input.groundZ);
  const RoofClass kind = classifyRoof(detectRoofPlanes(roof.points), roof.points);
  RoofParams& params = result.params;
  params.eaveZ = roof.eaveZ;
  params.ridgeZ = std::max(roof.ridgeZ, roof.eaveZ + 0.1);
  if (roof.segmented)
    if (const auto fromPlanes = heightsFromPlanes(kind, footprint, roof.points, input.groundZ)) {
      params.eaveZ = fromPlanes->eaveZ;
      params.ridgeZ = fromPlanes->ridgeZ;
      if (fromPlanes->hipInset) params.hipInset = *fromPlanes->hipInset;
    }
  const geo::Point2d ridge = kind.ridge ? *kind.ridge : longestEdgeDirection(footprint);
  params.dirX = ridge.x;
  params.dirY = ridge.y;

  result.primitive = kind.name;
  roofPrimitive(kind.name).fit(result.mesh, params, footprint);
  result.meanError = meshFitError(result.mesh, roof.points);
  result.needsReview = needsReview(result.meanError, kind.confidence);

  for (Point3d& v : result.mesh.vertices) {
    const geo::Point2d q = frame.fromAligned({v.x, v.y});
    v.x = q.x;
    v.y = q.y;
  }
  const double c = std::cos(frame.angle()), s = std::sin(frame.angle());
  params.dirX = c * ridge.x - s * ridge.y;
  params.dirY = s * ridge.x + c * ridge.y;
  return result;
}

}  // namespace kl::buildings::lod2fit
