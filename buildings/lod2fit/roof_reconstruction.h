#pragma once
// One building rebuilt from its LiDAR points: the roof points, their planes,
// the roof type those make, that type's mesh over the footprint and how well
// the mesh meets the points.
#include "buildings/lod2fit/roof_model.h"

namespace kl::buildings::lod2fit {

// Pure and deterministic: the same input gives the same vertices. Points with
// a coordinate that is not a number are left out. A footprint of fewer than
// 3 usable vertices or without area gives an empty mesh (error 1e9, flagged
// for review), which the caller skips. The result's (dirX, dirY) is the ridge
// direction in the input's coordinates.
RoofFitResult reconstructRoof(const RoofFitInput& input);

// A fit is trusted when the points lie within 1.6 m of the mesh on average
// and the roof type was chosen with confidence 0.5 or more.
bool needsReview(double meanError, double confidence);

}  // namespace kl::buildings::lod2fit
