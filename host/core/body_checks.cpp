#include "host/core/body_checks.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace kl::host {
namespace {

struct Flat {
    double u, v;
};

double orient(const Flat& a, const Flat& b, const Flat& c) { return (b.u - a.u) * (c.v - a.v) - (b.v - a.v) * (c.u - a.u); }

bool onSegment(const Flat& a, const Flat& b, const Flat& p) {
    return std::min(a.u, b.u) <= p.u && p.u <= std::max(a.u, b.u) && std::min(a.v, b.v) <= p.v &&
           p.v <= std::max(a.v, b.v);
}

// Closed segments ab and cd meet.
bool meet(const Flat& a, const Flat& b, const Flat& c, const Flat& d) {
    const double d1 = orient(c, d, a), d2 = orient(c, d, b), d3 = orient(a, b, c), d4 = orient(a, b, d);
    if (((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) && ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0))) return true;
    return (d1 == 0 && onSegment(c, d, a)) || (d2 == 0 && onSegment(c, d, b)) || (d3 == 0 && onSegment(a, b, c)) ||
           (d4 == 0 && onSegment(a, b, d));
}

struct Segment {
    int32_t from, to;
};

bool crossesItself(const MorphBody& body, const MorphPolygon& polygon) {
    std::vector<Segment> segments;
    for (int32_t e : polygon.edges) {
        if (e == 0) continue;
        const auto& edge = body.edges[static_cast<size_t>((e < 0 ? -e : e) - 1)];
        segments.push_back(e > 0 ? Segment{edge.first, edge.second} : Segment{edge.second, edge.first});
    }
    // seen along the largest component of the polygon's Newell normal
    double nx = 0, ny = 0, nz = 0;
    for (const auto& s : segments) {
        const KlCoord3& p = body.vertices[static_cast<size_t>(s.from - 1)];
        const KlCoord3& q = body.vertices[static_cast<size_t>(s.to - 1)];
        nx += (p.y - q.y) * (p.z + q.z);
        ny += (p.z - q.z) * (p.x + q.x);
        nz += (p.x - q.x) * (p.y + q.y);
    }
    if (std::abs(nx) + std::abs(ny) + std::abs(nz) < 1e-12) {
        // lobes that cancel (a bow tie): the plane of the first two edges that span one
        const KlCoord3& o = body.vertices[static_cast<size_t>(segments[0].from - 1)];
        for (size_t i = 1; i < segments.size(); ++i) {
            const KlCoord3& a = body.vertices[static_cast<size_t>(segments[0].to - 1)];
            const KlCoord3& b = body.vertices[static_cast<size_t>(segments[i].to - 1)];
            const double ux = a.x - o.x, uy = a.y - o.y, uz = a.z - o.z, vx = b.x - o.x, vy = b.y - o.y, vz = b.z - o.z;
            nx = uy * vz - uz * vy;
            ny = uz * vx - ux * vz;
            nz = ux * vy - uy * vx;
            if (std::abs(nx) + std::abs(ny) + std::abs(nz) > 1e-12) break;
        }
    }
    const int drop = (std::abs(nx) >= std::abs(ny) && std::abs(nx) >= std::abs(nz)) ? 0 : (std::abs(ny) >= std::abs(nz) ? 1 : 2);
    auto flat = [&](int32_t vertex) {
        const KlCoord3& p = body.vertices[static_cast<size_t>(vertex - 1)];
        return drop == 0 ? Flat{p.y, p.z} : drop == 1 ? Flat{p.z, p.x} : Flat{p.x, p.y};
    };
    for (size_t i = 0; i < segments.size(); ++i)
        for (size_t j = i + 1; j < segments.size(); ++j) {
            const Segment &s = segments[i], &t = segments[j];
            const Flat a = flat(s.from), b = flat(s.to), c = flat(t.from), d = flat(t.to);
            if (s.to == t.from || t.to == s.from) {
                // neighbours meet at their shared vertex; beyond it they must not fold back onto each other
                const bool sFirst = s.to == t.from;
                const Flat& shared = sFirst ? b : a;
                const Flat& p = sFirst ? a : b;
                const Flat& q = sFirst ? d : c;
                if (s.to == t.from && t.to == s.from) return true;  // a contour of two edges
                if (orient(p, shared, q) == 0 && (q.u - shared.u) * (p.u - shared.u) + (q.v - shared.v) * (p.v - shared.v) > 0)
                    return true;
                continue;
            }
            if (meet(a, b, c, d)) return true;
        }
    return false;
}

}  // namespace

KlErr checkSharedTopology(const MorphBody& body) {
    std::vector<uint8_t> uses(body.edges.size(), 0);  // bit 1: used forwards, bit 2: backwards
    bool shared = false;
    for (const auto& polygon : body.polygons)
        for (int32_t e : polygon.edges) {
            if (e == 0) continue;
            uint8_t& u = uses[static_cast<size_t>((e < 0 ? -e : e) - 1)];
            const uint8_t bit = e > 0 ? 1 : 2;
            if (u != 0) shared = true;
            if (u & bit) return KL_ERR_BODY_EDGE_TWICE;
            u = static_cast<uint8_t>(u | bit);
        }
    if (!shared) return KL_NOERROR;
    for (const auto& polygon : body.polygons)
        if (crossesItself(body, polygon)) return KL_ERR_BODY_SELF_CROSSING;
    return KL_NOERROR;
}

}  // namespace kl::host
