#include "geodata/polygon.h"

#include <algorithm>
#include <cmath>

namespace kl::geo {
namespace {

// Where the ring's edges cross the horizontal line at y.
void crossings(const Ring& r, double y, std::vector<double>& xs) {
    for (std::size_t i = 0, j = r.size() - 1; i < r.size(); j = i++) {
        const Point2d &a = r[i], &b = r[j];
        if ((a.y > y) != (b.y > y)) xs.push_back((b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x);
    }
}

}  // namespace

Bbox ringBounds(std::span<const Point2d> ring) noexcept {
    Bbox box{ring[0].x, ring[0].y, ring[0].x, ring[0].y};
    for (const Point2d& p : ring) {
        box.minX = std::min(box.minX, p.x);
        box.minY = std::min(box.minY, p.y);
        box.maxX = std::max(box.maxX, p.x);
        box.maxY = std::max(box.maxY, p.y);
    }
    return box;
}

double signedArea(const Ring& ring) {
    double a = 0;
    for (std::size_t i = 0, n = ring.size(); n > 1 && i < n; ++i) {
        const Point2d &p = ring[i], &q = ring[(i + 1) % n];
        a += p.x * q.y - q.x * p.y;
    }
    return a / 2;
}

std::vector<double> sortedCrossings(const Ring& ring, double y) {
    std::vector<double> xs;
    if (ring.size() < 3) return xs;
    crossings(ring, y, xs);
    std::sort(xs.begin(), xs.end());
    return xs;
}

bool ringContains(const Ring& ring, Point2d p) {
    if (ring.size() < 3) return false;
    bool in = false;
    for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
        const auto& a = ring[i];
        const auto& b = ring[j];
        if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x) in = !in;
    }
    return in;
}

bool polygonContains(const Polygon& polygon, Point2d p) {
    if (!ringContains(polygon.exterior, p)) return false;
    return std::none_of(polygon.holes.begin(), polygon.holes.end(), [&](const Ring& h) { return ringContains(h, p); });
}

bool polygonsContain(const std::vector<Polygon>& polygons, Point2d p) {
    return std::any_of(polygons.begin(), polygons.end(), [&](const Polygon& poly) { return polygonContains(poly, p); });
}

std::optional<Point2d> interiorPoint(const Polygon& polygon) {
    const Ring& r = polygon.exterior;
    if (r.size() < 3) return std::nullopt;
    const double area = signedArea(r);
    if (!(std::abs(area) > 0)) return std::nullopt;
    double cx = 0, cy = 0;
    for (std::size_t i = 0, n = r.size(); i < n; ++i) {
        const Point2d &p = r[i], &q = r[(i + 1) % n];
        const double k = p.x * q.y - q.x * p.y;
        cx += (p.x + q.x) * k;
        cy += (p.y + q.y) * k;
    }
    const Point2d centroid{cx / (6 * area), cy / (6 * area)};
    if (std::isfinite(centroid.x) && std::isfinite(centroid.y) && polygonContains(polygon, centroid)) return centroid;

    std::vector<double> xs;
    crossings(r, centroid.y, xs);
    for (const Ring& h : polygon.holes) crossings(h, centroid.y, xs);
    std::sort(xs.begin(), xs.end());
    double best = -1, bestX = 0;
    for (std::size_t i = 0; i + 1 < xs.size(); i += 2)
        if (xs[i + 1] - xs[i] > best) {
            best = xs[i + 1] - xs[i];
            bestX = (xs[i] + xs[i + 1]) / 2;
        }
    if (best <= 0) return std::nullopt;
    return Point2d{bestX, centroid.y};
}

}  // namespace kl::geo
