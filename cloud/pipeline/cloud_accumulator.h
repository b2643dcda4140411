#pragma once
#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "cloud/e57/cloud_point.h"
#include "cloud/pipeline/voxel_set.h"
#include "geodata/geometry.h"
#include "geodata/polish_crs.h"

namespace kl::cloud {

// Bounds of a set of points; empty until the first one.
struct PointBounds {
    double minX = INFINITY, minY = INFINITY, minZ = INFINITY;
    double maxX = -INFINITY, maxY = -INFINITY, maxZ = -INFINITY;
    void add(const CloudPoint& p) {
        minX = std::min(minX, p.x);
        minY = std::min(minY, p.y);
        minZ = std::min(minZ, p.z);
        maxX = std::max(maxX, p.x);
        maxY = std::max(maxY, p.y);
        maxZ = std::max(maxZ, p.z);
    }
    void add(const PointBounds& b) {
        minX = std::min(minX, b.minX);
        minY = std::min(minY, b.minY);
        minZ = std::min(minZ, b.minZ);
        maxX = std::max(maxX, b.maxX);
        maxY = std::max(maxY, b.maxY);
        maxZ = std::max(maxZ, b.maxZ);
    }
};

// Collects the points of one download: crops them to the frame, moves them
// into the target PL-2000 zone relative to the origin and keeps the first
// point of every voxel.
class CloudAccumulator {
public:
    enum class Add { Kept, Dropped, OverBudget };

    // frame in PL-1992; voxel 0 keeps every point; placeEpsg 2176..2179.
    // The origin starts at the frame's south-west corner in the zone, z = 0.
    CloudAccumulator(const geo::Bbox& frame, double voxel, int placeEpsg, int64_t budget);

    void setOrigin(double e, double n, double z);

    // x, y in PL-1992, z absolute height. OverBudget: the point was not kept
    // because the cloud already holds the budget.
    Add add(double x, double y, double z, uint8_t r, uint8_t g, uint8_t b);

    // What adding a point does that does not depend on the points before it:
    // the point relative to the origin in the zone, and its voxel.
    struct Placed {
        double x, y, z;
        int64_t i, j, k;
    };
    // False when the point is dropped whatever came before: outside the frame
    // or a garbage height. Reads only, so decoding threads may call it at once.
    bool place(double x, double y, double z, Placed* out) const;
    // The rest of add for a placed point and its voxel, in file order: the
    // voxel's first point and the budget.
    using Voxel = std::array<int64_t, 3>;
    bool thins() const { return voxel_ > 0; }
    Add keep(const CloudPoint& p, const Voxel& v);
    // Without thinning: keeps the points in order, as many as the budget
    // allows, and returns how many. bounds: those of all count points.
    size_t keepAll(const CloudPoint* points, size_t count, const PointBounds& bounds);

    // The points and voxels added since the last commit make one tile:
    // commitTile keeps them, dropTile takes them all back (a tile that
    // broke half way must not hold voxels that later tiles would need).
    void commitTile();
    void dropTile();

    // The kept points never move: room for the whole budget is reserved at
    // the start (address space only, pages come with the points), so another
    // thread may read the points of committed tiles while later ones are added.
    const std::vector<CloudPoint>& points() const { return points_; }
    std::vector<CloudPoint>& points() { return points_; }
    double originE() const { return originE_; }
    double originN() const { return originN_; }
    double originZ() const { return originZ_; }
    const geo::Bbox& frame() const { return frame_; }
    // How many more points the budget takes.
    size_t room() const { return static_cast<size_t>(std::max<int64_t>(budget_ - static_cast<int64_t>(points_.size()), 0)); }
    // Bounds of the points of the committed tiles: kept as they come, so the
    // end of a download needs no pass over the whole cloud.
    const PointBounds& bounds() const { return bounds_; }
    int placeEpsg() const { return placeEpsg_; }

private:
    geo::Bbox frame_;
    double voxel_;
    int placeEpsg_;
    int64_t budget_;
    geo::LocalAffine toZone_;
    double originE_ = 0, originN_ = 0, originZ_ = 0;
    VoxelSet voxels_;
    std::vector<CloudPoint> points_;
    size_t tileStart_ = 0;
    PointBounds bounds_, tileBounds_;
};

}  // namespace kl::cloud
