#include "import/label_point.h"

#include <algorithm>
#include <cmath>

namespace kl::import {
namespace {

double signedArea(const geo::Ring& r) {
    double a = 0;
    for (std::size_t i = 0, n = r.size(); n > 1 && i < n; ++i) {
        const geo::Point2d &p = r[i], &q = r[(i + 1) % n];
        a += p.x * q.y - q.x * p.y;
    }
    return a / 2;
}

bool ringContains(const geo::Ring& r, geo::Point2d p) {
    bool inside = false;
    for (std::size_t i = 0, j = r.size() - 1; i < r.size(); j = i++) {
        const geo::Point2d &a = r[i], &b = r[j];
        if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x) inside = !inside;
    }
    return inside;
}

bool polygonContains(const geo::Polygon& poly, geo::Point2d p) {
    if (!ringContains(poly.exterior, p)) return false;
    return std::none_of(poly.holes.begin(), poly.holes.end(), [&](const geo::Ring& h) { return ringContains(h, p); });
}

void crossings(const geo::Ring& r, double y, std::vector<double>& xs) {
    for (std::size_t i = 0, j = r.size() - 1; i < r.size(); j = i++) {
        const geo::Point2d &a = r[i], &b = r[j];
        if ((a.y > y) != (b.y > y)) xs.push_back((b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x);
    }
}

}  // namespace

std::optional<geo::Point2d> interiorPoint(const geo::Polygon& polygon) {
    const geo::Ring& r = polygon.exterior;
    if (r.size() < 3) return std::nullopt;
    const double area = signedArea(r);
    if (!(std::abs(area) > 0)) return std::nullopt;
    double cx = 0, cy = 0;
    for (std::size_t i = 0, n = r.size(); i < n; ++i) {
        const geo::Point2d &p = r[i], &q = r[(i + 1) % n];
        const double k = p.x * q.y - q.x * p.y;
        cx += (p.x + q.x) * k;
        cy += (p.y + q.y) * k;
    }
    const geo::Point2d centroid{cx / (6 * area), cy / (6 * area)};
    if (std::isfinite(centroid.x) && std::isfinite(centroid.y) && polygonContains(polygon, centroid)) return centroid;

    std::vector<double> xs;
    crossings(r, centroid.y, xs);
    for (const geo::Ring& h : polygon.holes) crossings(h, centroid.y, xs);
    std::sort(xs.begin(), xs.end());
    double best = -1, bestX = 0;
    for (std::size_t i = 0; i + 1 < xs.size(); i += 2)
        if (xs[i + 1] - xs[i] > best) {
            best = xs[i + 1] - xs[i];
            bestX = (xs[i] + xs[i + 1]) / 2;
        }
    if (best <= 0) return std::nullopt;
    return geo::Point2d{bestX, centroid.y};
}

void addMissingLabelPoints(std::vector<geo::GisFeature>& features) {
    for (geo::GisFeature& f : features) {
        if (f.hasPoint || f.polygons.empty()) continue;
        const auto largest = std::max_element(f.polygons.begin(), f.polygons.end(), [](const auto& a, const auto& b) {
            return std::abs(signedArea(a.exterior)) < std::abs(signedArea(b.exterior));
        });
        if (const auto p = interiorPoint(*largest)) {
            f.point = *p;
            f.hasPoint = true;
        }
    }
}

}  // namespace kl::import
