#pragma once

#include <vector>

#include "terrain/contour.h"

namespace kl::terrain {

// Rounds the corners marching squares leaves (Chaikin corner cutting,
// `iterations` times) and then drops the vertices that lie closer than
// `tolerance` metres to the line through their neighbours. Closed contours
// stay closed; contours of fewer than 3 points are left alone.
void smoothContours(std::vector<Contour>& contours, int iterations, double tolerance);

}  // namespace kl::terrain
