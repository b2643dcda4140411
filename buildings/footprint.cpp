#include "buildings/footprint.h"

#include <algorithm>
#include <cmath>

#include "geodata/polygon.h"

namespace kl::buildings {

std::optional<geo::Bbox> footprintBox(const geo::Ring& ring) {
    if (ring.size() < 3) return std::nullopt;
    geo::Bbox box{ring[0].x, ring[0].y, ring[0].x, ring[0].y};
    for (const geo::Point2d& p : ring) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y)) return std::nullopt;
        box.minX = std::min(box.minX, p.x);
        box.minY = std::min(box.minY, p.y);
        box.maxX = std::max(box.maxX, p.x);
        box.maxY = std::max(box.maxY, p.y);
    }
    // A square millimetre: less is a line drawn twice, not a building.
    if (std::abs(geo::signedArea(ring)) < 1e-6) return std::nullopt;
    return box;
}

double upperMedian(std::vector<double>& values) {
    const auto mid = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), mid, values.end());
    return *mid;
}

}  // namespace kl::buildings
