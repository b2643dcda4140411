#include "placement/edge_flips.h"

#include "placement/turn_direction.h"

#include <algorithm>
#include <map>

namespace kl::placement {
namespace {

using geo::Point2d;

// Positive when d lies inside the circumcircle of the counter-clockwise a, b, c.
double inCircle(const Point2d& a, const Point2d& b, const Point2d& c, const Point2d& d) {
    const double ax = a.x - d.x, ay = a.y - d.y, bx = b.x - d.x, by = b.y - d.y, cx = c.x - d.x, cy = c.y - d.y;
    return (ax * ax + ay * ay) * (bx * cy - cx * by) - (bx * bx + by * by) * (ax * cy - cx * ay) +
           (cx * cx + cy * cy) * (ax * by - bx * ay);
}

Triangle counterClockwise(const std::vector<Point2d>& p, Triangle t) {
    if (cross(p[static_cast<size_t>(t[0])], p[static_cast<size_t>(t[1])], p[static_cast<size_t>(t[2])]) < 0)
        std::swap(t[1], t[2]);
    return t;
}

// The corner of t that is neither a nor b.
int32_t third(const Triangle& t, int32_t a, int32_t b) {
    for (int32_t v : t)
        if (v != a && v != b) return v;
    return -1;
}

}  // namespace

void flipEdges(const std::vector<Point2d>& points, std::vector<Triangle>& triangles) {
    const auto pt = [&](int32_t i) -> const Point2d& { return points[static_cast<size_t>(i)]; };
    for (auto& t : triangles) t = counterClockwise(points, t);
    const size_t maxPasses = 4 * triangles.size() + 8;
    for (size_t pass = 0; pass < maxPasses; ++pass) {
        std::map<std::pair<int32_t, int32_t>, std::vector<size_t>> byEdge;
        for (size_t i = 0; i < triangles.size(); ++i)
            for (int k = 0; k < 3; ++k) {
                const int32_t a = triangles[i][static_cast<size_t>(k)], b = triangles[i][static_cast<size_t>((k + 1) % 3)];
                byEdge[{std::min(a, b), std::max(a, b)}].push_back(i);
            }
        std::vector<bool> touched(triangles.size(), false);
        bool flipped = false;
        for (const auto& [edge, owners] : byEdge) {
            if (owners.size() != 2 || touched[owners[0]] || touched[owners[1]]) continue;
            const auto [a, b] = edge;
            Triangle& t1 = triangles[owners[0]];
            Triangle& t2 = triangles[owners[1]];
            const int32_t c = third(t1, a, b), d = third(t2, a, b);
            if (c < 0 || d < 0 || c == d) continue;
            // convex quadrilateral: the diagonals cross strictly
            const double s1 = cross(pt(c), pt(d), pt(a)), s2 = cross(pt(c), pt(d), pt(b));
            const double s3 = cross(pt(a), pt(b), pt(c)), s4 = cross(pt(a), pt(b), pt(d));
            if (!(s1 * s2 < 0 && s3 * s4 < 0)) continue;
            const Triangle abc = counterClockwise(points, {a, b, c});
            if (inCircle(pt(abc[0]), pt(abc[1]), pt(abc[2]), pt(d)) <= 1e-9) continue;
            t1 = counterClockwise(points, {c, d, a});
            t2 = counterClockwise(points, {d, c, b});
            touched[owners[0]] = touched[owners[1]] = true;
            flipped = true;
        }
        if (!flipped) return;
    }
}

bool isQuasiFan(const std::vector<Triangle>& triangles) {
    if (triangles.size() <= 4) return false;
    std::map<int32_t, size_t> degree;
    size_t most = 0;
    for (const auto& t : triangles)
        for (int32_t v : t) most = std::max(most, ++degree[v]);
    return most >= static_cast<size_t>(0.6 * static_cast<double>(triangles.size()));
}

}  // namespace kl::placement
