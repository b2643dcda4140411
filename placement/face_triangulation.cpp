#include "placement/face_triangulation.h"

#include <algorithm>
#include <cmath>

#include "placement/edge_flips.h"

namespace kl::placement {
namespace {

using buildings::Point3d;

constexpr size_t kFlipMinVertices = 7;

// The face seen along its normal's largest axis.
std::vector<geo::Point2d> project(const Ring3& ring, int dropAxis) {
    std::vector<geo::Point2d> out;
    out.reserve(ring.size());
    for (const auto& p : ring) {
        if (dropAxis == 0)
            out.push_back({p.y, p.z});
        else if (dropAxis == 1)
            out.push_back({p.z, p.x});
        else
            out.push_back({p.x, p.y});
    }
    return out;
}

Vec3 triangleNormal(const Point3d& a, const Point3d& b, const Point3d& c) {
    const double ux = b.x - a.x, uy = b.y - a.y, uz = b.z - a.z;
    const double vx = c.x - a.x, vy = c.y - a.y, vz = c.z - a.z;
    return {uy * vz - uz * vy, uz * vx - ux * vz, ux * vy - uy * vx};
}

}  // namespace

Vec3 newellNormal(const Ring3& ring) {
    Vec3 n;
    for (size_t i = 0; i < ring.size(); ++i) {
        const Point3d& p = ring[i];
        const Point3d& q = ring[(i + 1) % ring.size()];
        n.x += (p.y - q.y) * (p.z + q.z);
        n.y += (p.z - q.z) * (p.x + q.x);
        n.z += (p.x - q.x) * (p.y + q.y);
    }
    return n;
}

std::vector<Triangle> triangulateFace(const Ring3& outline, const std::vector<Ring3>& holes, TriangulationStats* stats) {
    const Vec3 normal = newellNormal(outline);
    const double ax = std::abs(normal.x), ay = std::abs(normal.y), az = std::abs(normal.z);
    const int drop = (ax >= ay && ax >= az) ? 0 : (ay >= az ? 1 : 2);

    std::vector<std::vector<geo::Point2d>> rings;
    rings.push_back(project(outline, drop));
    Ring3 all = outline;
    for (const auto& h : holes) {
        rings.push_back(project(h, drop));
        all.insert(all.end(), h.begin(), h.end());
    }
    const int n = static_cast<int>(all.size());

    std::vector<Triangle> triangles = clipEars(rings);
    if (triangles.empty()) {
        const auto m = static_cast<int32_t>(outline.size());
        for (int32_t i = 2; i < m; ++i) triangles.push_back({0, i - 1, i});
        if (stats) {
            ++stats->fanFallbacks;
            stats->fanFallbackWorstN = std::max(stats->fanFallbackWorstN, n);
        }
    } else if (stats) {
        ++stats->earClipOk;
        if (isQuasiFan(triangles)) {
            ++stats->quasiFans;
            stats->quasiFanWorstN = std::max(stats->quasiFanWorstN, n);
        }
    }
    if (all.size() >= kFlipMinVertices) {
        std::vector<geo::Point2d> flat;
        for (const auto& r : rings) flat.insert(flat.end(), r.begin(), r.end());
        flipEdges(flat, triangles);
        if (stats && isQuasiFan(triangles)) ++stats->quasiFansAfterFlips;
    }
    for (auto& t : triangles) {
        const Vec3 tn = triangleNormal(all[static_cast<size_t>(t[0])], all[static_cast<size_t>(t[1])],
                                       all[static_cast<size_t>(t[2])]);
        if (tn.x * normal.x + tn.y * normal.y + tn.z * normal.z < 0) std::swap(t[1], t[2]);
    }
    return triangles;
}

}  // namespace kl::placement
