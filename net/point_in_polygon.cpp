#include "net/point_in_polygon.h"

#include <algorithm>

namespace kl::net {

bool ringContains(const geo::Ring& ring, geo::Point2d p) {
    if (ring.size() < 3) return false;
    bool in = false;
    for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
        const auto& a = ring[i];
        const auto& b = ring[j];
        if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x) in = !in;
    }
    return in;
}

bool polygonsContain(const std::vector<geo::Polygon>& polygons, geo::Point2d p) {
    for (const auto& poly : polygons) {
        if (!ringContains(poly.exterior, p)) continue;
        const bool inHole = std::any_of(poly.holes.begin(), poly.holes.end(),
                                        [&](const geo::Ring& h) { return ringContains(h, p); });
        if (!inHole) return true;
    }
    return false;
}

}  // namespace kl::net
