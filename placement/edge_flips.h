#pragma once
// Delaunay edge flips on a plane triangulation: an ear clipping may leave a
// fan of thin triangles around one vertex, which flips spread out.
#include <vector>

#include "geodata/geometry.h"
#include "placement/ear_clipping.h"

namespace kl::placement {

// Replaces the shared edge of two triangles by the other diagonal when their
// quadrilateral is convex and the fourth point lies inside the circumcircle of
// the other triangle; passes repeat until none flips (at most 4 x triangles +
// 8 passes). Triangles come out counter-clockwise in `points`.
void flipEdges(const std::vector<geo::Point2d>& points, std::vector<Triangle>& triangles);

// One vertex shared by at least 60 % of more than four triangles.
bool isQuasiFan(const std::vector<Triangle>& triangles);

}  // namespace kl::placement
