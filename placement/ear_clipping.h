#pragma once
// Triangulation of a plane polygon with holes by ear clipping. Of all ears the
// one whose smallest angle is largest is cut first, which keeps slivers out of
// roofs and walls; each vertex keeps its ear state and only the two
// neighbours of a cut are tested again.
#include <array>
#include <cstdint>
#include <vector>

#include "geodata/geometry.h"

namespace kl::placement {

using Triangle = std::array<int32_t, 3>;

// rings[0] is the outline, the others are holes, any orientation. Triangles
// index the points of the rings taken one after the other, and turn
// counter-clockwise. Empty when the clipping stalls (a self-touching or
// degenerate outline).
std::vector<Triangle> clipEars(const std::vector<std::vector<geo::Point2d>>& rings);

}  // namespace kl::placement
