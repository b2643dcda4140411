#include "placement/terrain_mesh.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <span>
#include <string>

#include "base/number_text.h"
#include "placement/host_memo.h"
#include "base/host_access.h"
#include "base/diag_log.h"

namespace kl::placement {
namespace {

constexpr const char* kDiagFile = "ordvik_teren_diag.txt";
constexpr double kStubLength = 1.0;      // metres; shorter contours are tracing noise
constexpr double kCollapsedSide = 1e-6;  // metres

using Outline = std::array<geo::Point2d, 5>;
using OutlineHeights = std::array<double, 5>;

// As a default-formatted stream prints it, whatever the locale.
std::string plain(double v) { return numberText(v, std::chars_format::general, 6); }

struct Extent {
    double minX = std::numeric_limits<double>::infinity(), maxX = -minX, minY = minX, maxY = -minX;
    void widen(geo::Point2d p) {
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    std::string text() const {
        return "[" + wholeNumberText(minX) + ".." + wholeNumberText(maxX) + "," + wholeNumberText(minY) + ".." +
               wholeNumberText(maxY) + "]";
    }
};

std::string heightsText(const OutlineHeights& z) {
    return plain(z[0]) + "," + plain(z[1]) + "," + plain(z[2]) + "," + plain(z[3]);
}

Outline outlineOf(const MeshCorners& corners, const PlacementTransform& t) {
    return {t.apply(corners[0]), t.apply(corners[1]), t.apply(corners[2]), t.apply(corners[3]), t.apply(corners[0])};
}

double distance(geo::Point2d a, geo::Point2d b) { return std::hypot(b.x - a.x, b.y - a.y); }

// The host's mesh: the closed outline with its heights, and the level points
// joined into level lines by their 1-based ends.
KlErr makeMesh(std::span<const geo::Point2d> outline, std::span<const double> heights,
               const std::vector<KlCoord3>& levelPoints, const std::vector<int32_t>& levelEnds, int32_t layer) {
    constexpr auto kMaxCount = static_cast<size_t>(std::numeric_limits<int32_t>::max());
    if (levelPoints.size() > kMaxCount || outline.size() > kMaxCount) return KL_ERR_MEMFULL;
    KlElement e;
    std::memset(&e, 0, sizeof e);
    e.type = KL_ELEM_MESH;
    HostMemo memo;
    KlErr err = host()->GetElementDefaults(&e, memo.get());
    if (err != KL_NOERROR) return err;
    e.layer = layer;
    e.level = 0.0;  // heights are relative to the project's zero already
    KlMemoSizes sizes{};
    sizes.nCoords = static_cast<int32_t>(outline.size());
    sizes.nRings = 1;
    sizes.withBoundaryZ = 1;
    sizes.nLevelPoints = static_cast<int32_t>(levelPoints.size());
    sizes.nLevelEnds = static_cast<int32_t>(levelEnds.size());
    err = host()->MemoAllocate(memo.get(), &sizes);
    if (err != KL_NOERROR) return err;
    KlMemo& m = *memo.get();
    if (!m.coords || !m.ringEnds || !m.boundaryZ || (!levelPoints.empty() && (!m.levelPoints || !m.levelEnds)))
        return KL_ERR_MEMFULL;
    for (size_t i = 0; i < outline.size(); ++i) {
        m.coords[i] = {outline[i].x, outline[i].y};
        m.boundaryZ[i] = heights[i];
    }
    m.ringEnds[0] = sizes.nCoords;
    std::copy(levelPoints.begin(), levelPoints.end(), m.levelPoints);
    std::copy(levelEnds.begin(), levelEnds.end(), m.levelEnds);
    return host()->CreateElement(&e, memo.get());
}

double planarLength(const terrain::Contour& c) {
    double length = 0.0;
    for (size_t i = 1; i < c.points.size(); ++i)
        length += std::hypot(c.points[i].first - c.points[i - 1].first, c.points[i].second - c.points[i - 1].second);
    return length;
}

bool isClosed(const terrain::Contour& c) {
    return std::abs(c.points.front().first - c.points.back().first) < 1e-6 &&
           std::abs(c.points.front().second - c.points.back().second) < 1e-6;
}

}  // namespace

MeshCorners cornersOf(double minX, double minY, double maxX, double maxY) {
    return {geo::Point2d{minX, minY}, geo::Point2d{maxX, minY}, geo::Point2d{maxX, maxY}, geo::Point2d{minX, maxY}};
}

MeshAttempt createMesh(const MeshGrid& grid, const PlacementTransform& t, double baseHeight, int32_t layer) {
    if (grid.points.empty()) return {};
    OutlineHeights ringZ{};
    for (size_t i = 0; i < grid.corners.size(); ++i) {
        const geo::Point2d c = grid.corners[i];
        double best = 1e18;
        for (const terrain::TerrainPoint& p : grid.points) {
            const double d = (p.x - c.x) * (p.x - c.x) + (p.y - c.y) * (p.y - c.y);
            if (d < best) {
                best = d;
                ringZ[i] = p.height - baseHeight;
            }
        }
    }
    ringZ[4] = ringZ[0];

    std::vector<KlCoord3> points;
    std::vector<int32_t> ends;
    points.reserve(grid.points.size());
    ends.reserve(grid.points.size());
    Extent extent;
    double minZ = std::numeric_limits<double>::infinity(), maxZ = -minZ;
    for (const terrain::TerrainPoint& p : grid.points) {
        const geo::Point2d q = t.apply({p.x, p.y});
        const double z = p.height - baseHeight;
        extent.widen(q);
        minZ = std::min(minZ, z);
        maxZ = std::max(maxZ, z);
        points.push_back({q.x, q.y, z});
        // every point a level line of its own: the host triangulates them all
        ends.push_back(static_cast<int32_t>(points.size()));
    }
    const Outline outline = outlineOf(grid.corners, t);
    const MeshAttempt attempt{true, makeMesh(outline, ringZ, points, ends, layer)};

    Extent ring;
    for (size_t i = 0; i < 4; ++i) ring.widen(outline[i]);
    platform::appendDiagLine(kDiagFile, "createMesh nPts=" + std::to_string(points.size()) +
                                            " err=" + std::to_string(attempt.hostCode) + " ptXY=" + extent.text() +
                                            " ringXY=" + ring.text() + " ptZ=[" + plain(minZ) + ".." + plain(maxZ) +
                                            "] ringZ=[" + heightsText(ringZ) + "]");
    return attempt;
}

MeshAttempt createMeshFromContours(const std::vector<terrain::Contour>& contours, const MeshCorners& frame,
                                   const PlacementTransform& t, double baseHeight, int32_t layer) {
    std::vector<KlCoord3> points;
    std::vector<int32_t> ends;
    int stubs = 0, closed = 0, open = 0;
    double minLength = std::numeric_limits<double>::infinity(), maxLength = -minLength;
    double minLevel = minLength, maxLevel = -minLength;
    Extent extent;
    for (const terrain::Contour& c : contours) {
        if (c.points.size() < 2) continue;
        const double length = planarLength(c);
        if (length < kStubLength) {
            ++stubs;
            continue;
        }
        (isClosed(c) ? closed : open) += 1;
        minLength = std::min(minLength, length);
        maxLength = std::max(maxLength, length);
        const double z = c.level - baseHeight;
        minLevel = std::min(minLevel, z);
        maxLevel = std::max(maxLevel, z);
        for (const auto& [x, y] : c.points) {
            const geo::Point2d q = t.apply({x, y});
            extent.widen(q);
            points.push_back({q.x, q.y, z});
        }
        if (points.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) return {true, KL_ERR_MEMFULL};
        ends.push_back(static_cast<int32_t>(points.size()));
    }
    const Outline outline = outlineOf(frame, t);
    const double width = distance(outline[0], outline[1]), height = distance(outline[1], outline[2]);
    if (points.size() < 3 || width <= kCollapsedSide || height <= kCollapsedSide) return {};

    // Each corner takes the level of the contour passing nearest to it.
    OutlineHeights ringZ{};
    for (size_t i = 0; i < 4; ++i) {
        double best = 1e18;
        for (const KlCoord3& p : points) {
            const double d = (p.x - outline[i].x) * (p.x - outline[i].x) + (p.y - outline[i].y) * (p.y - outline[i].y);
            if (d < best) {
                best = d;
                ringZ[i] = p.z;
            }
        }
    }
    ringZ[4] = ringZ[0];
    const MeshAttempt attempt{true, makeMesh(outline, ringZ, points, ends, layer)};

    platform::appendDiagLine(
        kDiagFile, "createMeshFromContours nPts=" + std::to_string(points.size()) + " nSub=" + std::to_string(ends.size()) +
                       " (zamk=" + std::to_string(closed) + " otw=" + std::to_string(open) +
                       " stubOdrzuc=" + std::to_string(stubs) + " lenMin=" + plain(minLength) +
                       " lenMax=" + plain(maxLength) + ") err=" + std::to_string(attempt.hostCode) +
                       " ptXY=" + extent.text() + " ramka=" + wholeNumberText(width) + "x" +
                       wholeNumberText(height) + " fkZ=[" +
                       heightsText(ringZ) + "] cZ=[" + plain(minLevel) + ".." + plain(maxLevel) + "]");
    return attempt;
}

MeshAttempt createFlatMesh(const std::vector<geo::Point2d>& ring, double height, const PlacementTransform& t,
                           double baseHeight, int32_t layer) {
    if (ring.size() < 4) return {};
    std::vector<geo::Point2d> outline;
    outline.reserve(ring.size());
    Extent extent;
    for (const geo::Point2d& p : ring) {
        outline.push_back(t.apply(p));
        extent.widen(outline.back());
    }
    const std::vector<double> heights(outline.size(), height - baseHeight);
    const MeshAttempt attempt{true, makeMesh(outline, heights, {}, {}, layer)};
    platform::appendDiagLine(kDiagFile, "createFlatMesh nRing=" + std::to_string(outline.size()) +
                                            " err=" + std::to_string(attempt.hostCode) + " ringXY=" + extent.text() +
                                            " z=" + plain(height - baseHeight));
    return attempt;
}

}  // namespace kl::placement
