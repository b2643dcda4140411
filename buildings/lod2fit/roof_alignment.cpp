#include "buildings/lod2fit/roof_alignment.h"

#include <cmath>

namespace kl::buildings::lod2fit {

size_t longestEdge(const Footprint& footprint) {
  size_t best = 0;
  double bestLength = -1.0;
  for (size_t i = 0; i < footprint.size(); ++i) {
    const geo::Point2d& a = footprint[i];
    const geo::Point2d& b = footprint[(i + 1) % footprint.size()];
    const double length = std::hypot(b.x - a.x, b.y - a.y);
    if (length > bestLength) {
      bestLength = length;
      best = i;
    }
  }
  return best;
}

RoofFrame::RoofFrame(const Footprint& footprint) {
  if (footprint.empty()) return;
  for (const geo::Point2d& p : footprint) {
    centre_.x += p.x;
    centre_.y += p.y;
  }
  centre_.x /= static_cast<double>(footprint.size());
  centre_.y /= static_cast<double>(footprint.size());
  const size_t i = longestEdge(footprint);
  const geo::Point2d& a = footprint[i];
  const geo::Point2d& b = footprint[(i + 1) % footprint.size()];
  angle_ = std::atan2(b.y - a.y, b.x - a.x);
  cos_ = std::cos(angle_);
  sin_ = std::sin(angle_);
}

}  // namespace kl::buildings::lod2fit
