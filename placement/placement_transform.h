#pragma once
#include <cmath>

#include "geodata/geometry.h"

namespace kl::placement {

// Source metres (easting, northing of the fetch grid) to project metres:
// shift to the origin, rotate by the project's north, add the project offset.
// Heights never pass through it.
struct PlacementTransform {
    double originE = 0, originN = 0, angle = 0, offsetX = 0, offsetY = 0;

    geo::Point2d apply(geo::Point2d p) const noexcept {
        const double dx = p.x - originE, dy = p.y - originN;
        const double c = std::cos(angle), s = std::sin(angle);
        return {c * dx + s * dy + offsetX, -s * dx + c * dy + offsetY};
    }
};

}  // namespace kl::placement
