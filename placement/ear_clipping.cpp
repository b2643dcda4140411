#include "placement/ear_clipping.h"

#include "placement/turn_direction.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <queue>
#include <tuple>

#include "geodata/polygon.h"

namespace kl::placement {
namespace {

using geo::Point2d;

// Inside or on the edges of the counter-clockwise triangle abc.
bool inTriangle(const Point2d& a, const Point2d& b, const Point2d& c, const Point2d& p) {
    return cross(a, b, p) >= 0 && cross(b, c, p) >= 0 && cross(c, a, p) >= 0;
}

// Cosine of the angle at b; a vanishing edge counts as a zero angle.
double cosineAt(const Point2d& a, const Point2d& b, const Point2d& c) {
    const double ux = a.x - b.x, uy = a.y - b.y, vx = c.x - b.x, vy = c.y - b.y;
    const double lu = std::hypot(ux, uy), lv = std::hypot(vx, vy);
    if (lu < 1e-12 || lv < 1e-12) return 1.0;
    return (ux * vx + uy * vy) / (lu * lv);
}

struct Node {
    int32_t point;  // index into the caller's points
    int32_t prev = -1, next = -1;
    int32_t order = 0;  // position in the walk of the bridged outline: ties go to the earlier vertex
    uint32_t version = 0;
    bool removed = false;
    bool ear = false;
    bool reflex = false;  // not strictly convex: the only kind of vertex that can lie in an ear
    double badness = 0;  // largest cosine of the ear's angles: smaller is a better ear
};

class EarClipper {
public:
    explicit EarClipper(const std::vector<std::vector<Point2d>>& rings) {
        for (const auto& r : rings) points_.insert(points_.end(), r.begin(), r.end());
        int32_t first = 0;
        std::vector<int32_t> holeStarts;
        for (size_t r = 0; r < rings.size(); ++r) {
            const auto n = static_cast<int32_t>(rings[r].size());
            // the outline runs counter-clockwise, holes clockwise, so a bridge joins them into one walk
            const bool reverse = r == 0 ? geo::signedArea(rings[r]) <= 0 : geo::signedArea(rings[r]) > 0;
            const int32_t start = link(first, n, reverse);
            if (r == 0)
                outline_ = start;
            else
                holeStarts.push_back(start);
            first += n;
        }
        bridgeHoles(holeStarts);
    }

    std::vector<Triangle> run() {
        std::vector<Triangle> out;
        int32_t remaining = 0;
        {
            int32_t v = outline_, order = 0;
            do {
                nodes_[static_cast<size_t>(v)].order = order++;
                ++remaining;
                v = at(v).next;
            } while (v != outline_);
        }
        if (remaining < 3) return {};
        out.reserve(static_cast<size_t>(remaining - 2));
        testAll();
        const int32_t limit = 3 * remaining;
        bool retested = false;
        for (int32_t iteration = 0; remaining > 3 && iteration < limit; ++iteration) {
            const int32_t v = bestEar();
            if (v < 0) {
                // states may be stale when a neighbour stopped being reflex; one full pass settles it
                if (retested) return {};
                retested = true;
                testAll();
                continue;
            }
            retested = false;
            Node& n = at(v);
            out.push_back({at(n.prev).point, n.point, at(n.next).point});
            at(n.prev).next = n.next;
            at(n.next).prev = n.prev;
            n.removed = true;
            if (outline_ == v) outline_ = n.next;
            --remaining;
            const int32_t prev = n.prev, next = n.next;
            turn(prev);
            turn(next);
            test(prev);
            test(next);
        }
        if (remaining != 3) return {};
        const Node& last = at(outline_);
        out.push_back({at(last.prev).point, last.point, at(last.next).point});
        return out;
    }

private:
    Node& at(int32_t i) { return nodes_[static_cast<size_t>(i)]; }
    const Point2d& pos(int32_t node) const { return points_[static_cast<size_t>(nodes_[static_cast<size_t>(node)].point)]; }

    int32_t link(int32_t first, int32_t n, bool reverse) {
        const auto base = static_cast<int32_t>(nodes_.size());
        for (int32_t i = 0; i < n; ++i) nodes_.push_back(Node{reverse ? first + n - 1 - i : first + i});
        for (int32_t i = 0; i < n; ++i) {
            at(base + i).next = base + (i + 1) % n;
            at(base + i).prev = base + (i + n - 1) % n;
        }
        return base;
    }

    int32_t duplicate(int32_t node) {
        nodes_.push_back(Node{at(node).point});
        return static_cast<int32_t>(nodes_.size()) - 1;
    }

    // Holes from the rightmost inwards, each joined to the outline by a
    // two-way cut from its rightmost vertex to a vertex it can see.
    void bridgeHoles(std::vector<int32_t> starts) {
        std::vector<std::pair<int32_t, double>> holes;
        for (int32_t s : starts) {
            int32_t best = s, v = s;
            do {
                if (pos(v).x > pos(best).x || (pos(v).x == pos(best).x && pos(v).y < pos(best).y)) best = v;
                v = at(v).next;
            } while (v != s);
            holes.emplace_back(best, pos(best).x);
        }
        std::stable_sort(holes.begin(), holes.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
        for (const auto& [m, x] : holes) {
            const int32_t p = visibleVertex(m);
            if (p < 0) continue;  // the hole lies outside the outline: left out, the clipping then covers the outline
            const int32_t m2 = duplicate(m), p2 = duplicate(p);
            const int32_t pNext = at(p).next, mPrev = at(m).prev;
            at(p).next = m;
            at(m).prev = p;
            at(m2).next = p2;
            at(p2).prev = m2;
            at(mPrev).next = m2;
            at(m2).prev = mPrev;
            at(p2).next = pNext;
            at(pNext).prev = p2;
        }
    }

    // A vertex of the outline walk that the hole vertex m sees: the ray from m
    // towards +x meets the nearest edge; its right end is taken unless a reflex
    // vertex lies in the triangle between, then the one closest in angle to the ray.
    int32_t visibleVertex(int32_t m) {
        const Point2d& mp = pos(m);
        double nearest = std::numeric_limits<double>::infinity();
        int32_t candidate = -1;
        int32_t v = outline_;
        do {
            const int32_t w = at(v).next;
            const Point2d& a = pos(v);
            const Point2d& b = pos(w);
            if ((a.y <= mp.y && mp.y <= b.y) || (b.y <= mp.y && mp.y <= a.y)) {
                const double x = a.y == b.y ? std::max(a.x, b.x) : a.x + (mp.y - a.y) * (b.x - a.x) / (b.y - a.y);
                if (x >= mp.x && x < nearest) {
                    nearest = x;
                    candidate = a.x >= b.x ? v : w;
                    if (x == mp.x) return candidate;
                }
            }
            v = w;
        } while (v != outline_);
        if (candidate < 0) return -1;
        const Point2d hit{nearest, mp.y};
        const Point2d& cp = pos(candidate);
        int32_t best = candidate;
        double bestTan = std::numeric_limits<double>::infinity();
        v = outline_;
        do {
            const Point2d& q = pos(v);
            if (v != candidate && q.x >= mp.x && !(q == mp)) {
                const bool inside = mp.y < cp.y ? inTriangle(mp, hit, cp, q) : inTriangle(mp, cp, hit, q);
                if (inside && cross(pos(at(v).prev), q, pos(at(v).next)) <= 0) {
                    const double tan = std::abs(mp.y - q.y) / (q.x - mp.x + 1e-300);
                    if (tan < bestTan || (tan == bestTan && q.x < pos(best).x)) {
                        bestTan = tan;
                        best = v;
                    }
                }
            }
            v = at(v).next;
        } while (v != outline_);
        return best;
    }

    void test(int32_t v) {
        Node& n = at(v);
        ++n.version;
        n.ear = isEar(v);
        if (!n.ear) return;
        const Point2d &a = pos(n.prev), &b = pos(v), &c = pos(n.next);
        n.badness = std::max({cosineAt(c, a, b), cosineAt(a, b, c), cosineAt(b, c, a)});
        queue_.emplace(n.badness, n.order, v, n.version);
    }

    void turn(int32_t v) {
        Node& n = at(v);
        n.reflex = cross(pos(n.prev), pos(v), pos(n.next)) <= 0;
    }

    void testAll() {
        int32_t v = outline_;
        do {
            turn(v);
            v = at(v).next;
        } while (v != outline_);
        do {
            test(v);
            v = at(v).next;
        } while (v != outline_);
    }

    bool isEar(int32_t v) {
        const Node& n = at(v);
        const Point2d &a = pos(n.prev), &b = pos(v), &c = pos(n.next);
        if (n.reflex) return false;
        const double minX = std::min({a.x, b.x, c.x}), maxX = std::max({a.x, b.x, c.x});
        const double minY = std::min({a.y, b.y, c.y}), maxY = std::max({a.y, b.y, c.y});
        for (int32_t r = at(n.next).next; r != n.prev; r = at(r).next) {
            if (!at(r).reflex) continue;
            const Point2d& p = pos(r);
            if (p.x < minX || p.x > maxX || p.y < minY || p.y > maxY) continue;
            if (p == a || p == b || p == c) continue;
            if (inTriangle(a, b, c, p)) return false;
        }
        return true;
    }

    int32_t bestEar() {
        while (!queue_.empty()) {
            const auto [badness, order, v, version] = queue_.top();
            queue_.pop();
            const Node& n = at(v);
            if (!n.removed && n.ear && n.version == version) return v;
        }
        return -1;
    }

    std::vector<Point2d> points_;
    std::vector<Node> nodes_;
    int32_t outline_ = 0;
    // smallest badness first, then the earlier vertex
    using Entry = std::tuple<double, int32_t, int32_t, uint32_t>;
    std::priority_queue<Entry, std::vector<Entry>, std::greater<>> queue_;
};

}  // namespace

std::vector<Triangle> clipEars(const std::vector<std::vector<geo::Point2d>>& rings) {
    if (rings.empty() || rings[0].size() < 3) return {};
    for (const auto& r : rings)
        if (r.size() < 3) return {};
    return EarClipper(rings).run();
}

}  // namespace kl::placement
