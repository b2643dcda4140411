#include "tools/geoportal/geometry.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace kl::geoportal {

namespace {

bool inside(const Box& b, Xy p) { return p.x >= b.minX && p.x <= b.maxX && p.y >= b.minY && p.y <= b.maxY; }

// Liang-Barsky clip: does the segment a-b pass through the box?
bool segmentMeetsBox(Xy a, Xy b, const Box& box) {
    double t0 = 0, t1 = 1;
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a.x - box.minX, box.maxX - a.x, a.y - box.minY, box.maxY - a.y};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1) return false;
    }
    return true;
}

bool pathMeetsBox(const std::vector<Xy>& path, const Box& box) {
    if (path.size() == 1) return inside(box, path.front());
    for (size_t i = 0; i + 1 < path.size(); ++i)
        if (segmentMeetsBox(path[i], path[i + 1], box)) return true;
    return false;
}

}  // namespace

double signedArea(const std::vector<Xy>& ring) {
    double a = 0;
    for (size_t i = 0, n = ring.size(); n > 1 && i < n; ++i) {
        const Xy p = ring[i], q = ring[(i + 1) % n];
        a += p.x * q.y - q.x * p.y;
    }
    return a / 2;
}

bool pointInRing(const std::vector<Xy>& ring, Xy p) {
    bool in = false;
    for (size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
        const Xy a = ring[i], b = ring[j];
        if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x) in = !in;
    }
    return in;
}

double distanceToSegment(Xy p, Xy a, Xy b) {
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double t = std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
    return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

bool pointInPolygon(const DemoFeature& feature, Xy p) {
    if (feature.kind != GeometryKind::Polygon || feature.rings.empty()) return false;
    if (!pointInRing(feature.rings.front(), p)) return false;
    for (size_t i = 1; i < feature.rings.size(); ++i)
        if (pointInRing(feature.rings[i], p)) return false;
    return true;
}

bool featureIntersects(const DemoFeature& feature, const Box& box) {
    if (!feature.bounds.intersects(box)) return false;
    if (feature.kind == GeometryKind::Line) return pathMeetsBox(feature.path, box);
    for (const auto& ring : feature.rings)
        if (pathMeetsBox(ring, box)) return true;
    // The box lies wholly inside the polygon (and not inside a hole).
    return pointInPolygon(feature, {(box.minX + box.maxX) / 2, (box.minY + box.maxY) / 2});
}

std::vector<Xy> closed(std::vector<Xy> ring, bool counterClockwise) {
    if (ring.front().x != ring.back().x || ring.front().y != ring.back().y) ring.push_back(ring.front());
    if ((signedArea(ring) > 0) != counterClockwise) std::reverse(ring.begin(), ring.end());
    return ring;
}

DemoFeature polygonFeature(std::string id, std::vector<std::vector<Xy>> rings,
                           std::vector<std::pair<std::string, std::string>> props) {
    DemoFeature f;
    f.id = std::move(id);
    f.kind = GeometryKind::Polygon;
    for (size_t i = 0; i < rings.size(); ++i) rings[i] = closed(std::move(rings[i]), i == 0);
    f.rings = std::move(rings);
    f.properties = std::move(props);
    f.bounds = Box::empty();
    for (const auto& p : f.rings.front()) f.bounds.include(p);
    return f;
}

DemoFeature lineFeature(std::vector<Xy> path, std::vector<std::pair<std::string, std::string>> props) {
    DemoFeature f;
    f.kind = GeometryKind::Line;
    f.path = std::move(path);
    f.properties = std::move(props);
    f.bounds = Box::empty();
    for (const auto& p : f.path) f.bounds.include(p);
    return f;
}

DemoFeature sheetFeature(std::string id, const Box& b) {
    DemoFeature f;
    f.id = std::move(id);
    f.kind = GeometryKind::Polygon;
    f.rings = {{{b.maxX, b.minY}, {b.minX, b.minY}, {b.minX, b.maxY}, {b.maxX, b.maxY}, {b.maxX, b.minY}}};
    f.bounds = b;
    return f;
}

}  // namespace kl::geoportal
