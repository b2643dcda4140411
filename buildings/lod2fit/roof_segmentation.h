#pragma once
// Which of a building's points lie on its roof, and the eave and ridge
// heights they suggest.
#include <vector>

#include "buildings/lod_building.h"

namespace kl::buildings::lod2fit {

struct RoofPoints {
  std::vector<Point3d> points;
  double eaveZ = 0.0;
  double ridgeZ = 0.0;
  bool segmented = false;  // false: too few points, all of them stand in, heights are guesses
};

// Linear interpolation between the ranks of the sorted values; q in [0, 1].
double percentile(const std::vector<double>& sorted, double q);

// The roof is what stands clearly above the ground: 40 % of the way to the
// top when that is over 2 m, else 2 m above the ground.
RoofPoints segmentRoofPoints(const std::vector<Point3d>& points, double groundZ);

}  // namespace kl::buildings::lod2fit
