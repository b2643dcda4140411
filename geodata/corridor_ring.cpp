#include "geodata/corridor_ring.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "geodata/polygon.h"

namespace kl::geo {
namespace {

constexpr double kSameVertex = 1e-9;
constexpr double kMitreLimit = 5.0;

struct Vec {
    double x = 0, y = 0;
};

Vec unit(Point2d a, Point2d b) {
    const double dx = b.x - a.x, dy = b.y - a.y, len = std::hypot(dx, dy);
    return {dx / len, dy / len};
}

Vec leftNormal(Vec d) { return {-d.y, d.x}; }

Point2d along(Point2d p, Vec v, double s) { return {p.x + v.x * s, p.y + v.y * s}; }

double median(std::vector<double> v) {
    if (v.empty()) return 0.0;
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
    return v[v.size() / 2];
}

struct Centreline {
    std::vector<Point2d> points;
    std::vector<double> left, right;
};

Centreline distinctVertices(const std::vector<Point2d>& line, const std::vector<double>& left,
                            const std::vector<double>& right) {
    Centreline out;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (!out.points.empty() && std::hypot(line[i].x - out.points.back().x, line[i].y - out.points.back().y) <
                                       kSameVertex)
            continue;
        out.points.push_back(line[i]);
        out.left.push_back(i < left.size() ? left[i] : 0.0);
        out.right.push_back(i < right.size() ? right[i] : 0.0);
    }
    return out;
}

// The offset points of vertex i at signed distance s (positive to the left).
void offsetVertex(const std::vector<Point2d>& p, std::size_t i, double s, std::vector<Point2d>& out) {
    const std::size_t n = p.size();
    if (i == 0 || i + 1 == n) {
        const Vec d = i == 0 ? unit(p[0], p[1]) : unit(p[n - 2], p[n - 1]);
        out.push_back(along(p[i], leftNormal(d), s));
        return;
    }
    const Vec nIn = leftNormal(unit(p[i - 1], p[i])), nOut = leftNormal(unit(p[i], p[i + 1]));
    const Vec sum{nIn.x + nOut.x, nIn.y + nOut.y};
    const double sumLen = std::hypot(sum.x, sum.y);
    // cos of half the turn: the mitre is 1/cos half-widths long.
    const double cosHalf = sumLen / 2.0;
    if (cosHalf * kMitreLimit < 1.0) {
        out.push_back(along(p[i], nIn, s));
        out.push_back(along(p[i], nOut, s));
        return;
    }
    const Vec bisector{sum.x / sumLen, sum.y / sumLen};
    out.push_back(along(p[i], bisector, s / cosHalf));
}

// Where segment ab meets segment cd, ends included; none when parallel.
std::optional<Point2d> meeting(Point2d a, Point2d b, Point2d c, Point2d d) {
    if (std::max(a.x, b.x) < std::min(c.x, d.x) || std::max(c.x, d.x) < std::min(a.x, b.x) ||
        std::max(a.y, b.y) < std::min(c.y, d.y) || std::max(c.y, d.y) < std::min(a.y, b.y))
        return std::nullopt;
    const double den = (b.x - a.x) * (d.y - c.y) - (b.y - a.y) * (d.x - c.x);
    if (std::abs(den) < 1e-15) return std::nullopt;
    const double t = ((c.x - a.x) * (d.y - c.y) - (c.y - a.y) * (d.x - c.x)) / den;
    const double u = ((c.x - a.x) * (b.y - a.y) - (c.y - a.y) * (b.x - a.x)) / den;
    if (t < 0.0 || t > 1.0 || u < 0.0 || u > 1.0) return std::nullopt;
    return Point2d{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
}

// Cuts the ring at its first crossing into two rings and keeps the larger:
// a fold is the small loop the inner side of a sharp bend makes.
bool cutFirstFold(Ring& ring) {
    const std::size_t n = ring.size();
    for (std::size_t k = 0; k < n; ++k) {
        for (std::size_t m = k + 2; m < n; ++m) {
            if (k == 0 && m == n - 1) continue;  // neighbours through the closing vertex
            const auto x = meeting(ring[k], ring[k + 1], ring[m], ring[(m + 1) % n]);
            if (!x) continue;
            Ring loop{*x};
            loop.insert(loop.end(), ring.begin() + static_cast<std::ptrdiff_t>(k + 1),
                        ring.begin() + static_cast<std::ptrdiff_t>(m + 1));
            Ring rest(ring.begin(), ring.begin() + static_cast<std::ptrdiff_t>(k + 1));
            rest.push_back(*x);
            rest.insert(rest.end(), ring.begin() + static_cast<std::ptrdiff_t>(m + 1), ring.end());
            ring = std::abs(signedArea(loop)) > std::abs(signedArea(rest)) ? std::move(loop) : std::move(rest);
            return true;
        }
    }
    return false;
}

}  // namespace

Ring corridorRing(const std::vector<Point2d>& centreline, const std::vector<double>& leftHalfWidths,
                  const std::vector<double>& rightHalfWidths, bool uniform) {
    Centreline c = distinctVertices(centreline, leftHalfWidths, rightHalfWidths);
    const std::size_t n = c.points.size();
    if (n < 2) return {};
    if (uniform) {
        std::fill(c.left.begin(), c.left.end(), median(c.left));
        std::fill(c.right.begin(), c.right.end(), median(c.right));
    }
    Ring ring;
    for (std::size_t i = 0; i < n; ++i) offsetVertex(c.points, i, c.left[i], ring);
    for (std::size_t i = n; i-- > 0;) {
        // Walked backwards, a bevel's two points come in reverse order.
        std::vector<Point2d> side;
        offsetVertex(c.points, i, -c.right[i], side);
        ring.insert(ring.end(), side.rbegin(), side.rend());
    }
    // Each cut removes at least one vertex, so this ends.
    while (ring.size() > 3 && cutFirstFold(ring)) {
    }
    return ring;
}

}  // namespace kl::geo
