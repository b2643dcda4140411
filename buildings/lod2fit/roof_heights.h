#pragma once
// Eave and ridge heights read off the fitted planes rather than off the
// spread of the points: the 10th and 95th height percentiles of a pitched
// roof lie a tenth of the rise above its eaves and a twentieth below its
// ridge, which the planes do not.
#include <optional>
#include <vector>

#include "buildings/lod2fit/roof_classifier.h"
#include "buildings/lod2fit/roof_model.h"

namespace kl::buildings::lod2fit {

struct RoofHeights {
  double eaveZ = 0.0;
  double ridgeZ = 0.0;
  // How far in from the end walls a hipped roof's ridge ends, from the rise
  // and the pitch of the planes across the leading pair; none without them.
  std::optional<double> hipInset;
};

// The roof surface is taken as the lowest of the sloped planes (a convex
// roof): the eaves at the lowest corner, the ridge where the leading pair of
// planes meet nearest the footprint's middle, or the highest roof point's
// spot without a pair. A flat roof stands at its largest flat plane. None
// when the planes say nothing or put the heights outside the points' range.
std::optional<RoofHeights> heightsFromPlanes(const RoofClass& kind, const Footprint& footprint,
                                             const std::vector<Point3d>& roofPoints, double groundZ);

}  // namespace kl::buildings::lod2fit
