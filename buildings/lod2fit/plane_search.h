#pragma once
// Roof planes found by a seeded random sample search: the same points always
// give the same planes, and the work is bounded by a fixed number of samples,
// never by a clock.
#include <cstdint>
#include <vector>

#include "buildings/lod2fit/roof_plane.h"

namespace kl::buildings::lod2fit {

struct PlaneSearchSettings {
  double inlierDistance = 0.3;  // metres
  int minInliers = 30;
  int maxPlanes = 6;
  int iterations = 200;  // samples per attempt
  double minAbsNz = 0.2;  // steeper planes are walls or trees
  double minSpread = 0.25;  // metres; narrower strips are eaves or ridges
};

// Marsaglia's 32-bit xorshift.
class XorShift32 {
 public:
  explicit XorShift32(std::uint32_t seed) : state_(seed) {}
  std::uint32_t next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }

 private:
  std::uint32_t state_;
};

inline constexpr std::uint32_t kPlaneSearchSeed = 0x9e3779b9u;

// At most 3 x maxPlanes attempts; each takes the best of `iterations` planes
// through three unassigned points, assigns its inliers and keeps the plane
// refitted to them when they spread wide enough.
std::vector<RoofPlane> detectRoofPlanes(const std::vector<Point3d>& points, const PlaneSearchSettings& settings = {});

}  // namespace kl::buildings::lod2fit
