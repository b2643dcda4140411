#pragma once
// The frame a roof is fitted in: turned so that the footprint's longest edge
// runs along x, about the plain mean of the footprint's vertices. Walls of
// real houses follow that edge, so rectangles come out axis-parallel.
#include "buildings/lod2fit/roof_model.h"

namespace kl::buildings::lod2fit {

class RoofFrame {
 public:
  explicit RoofFrame(const Footprint& footprint);

  geo::Point2d toAligned(geo::Point2d p) const { return turn(p, -sin_); }
  geo::Point2d fromAligned(geo::Point2d p) const { return turn(p, sin_); }
  double angle() const { return angle_; }

 private:
  geo::Point2d turn(geo::Point2d p, double sinSigned) const {
    const double dx = p.x - centre_.x, dy = p.y - centre_.y;
    return {centre_.x + cos_ * dx - sinSigned * dy, centre_.y + sinSigned * dx + cos_ * dy};
  }

  geo::Point2d centre_{};
  double angle_ = 0.0;
  double cos_ = 1.0, sin_ = 0.0;
};

// Index of the longest edge (i -> i+1); an equal later edge does not replace it.
size_t longestEdge(const Footprint& footprint);

}  // namespace kl::buildings::lod2fit
