#pragma once

#include "geodata/geometry.h"

namespace kl::placement {

// Twice the signed area of the triangle abc: positive when c lies left of
// the line from a to b (a counter-clockwise turn), zero when the three are
// collinear.
inline double cross(const geo::Point2d& a, const geo::Point2d& b, const geo::Point2d& c) {
    return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
}

}  // namespace kl::placement
