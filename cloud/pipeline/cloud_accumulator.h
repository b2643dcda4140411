#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "cloud/e57/cloud_point.h"
#include "cloud/pipeline/voxel_set.h"
#include "geodata/geometry.h"
#include "geodata/polish_crs.h"

namespace kl::cloud {

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
    // The rest of add, in file order: the voxel's first point and the budget.
    Add keep(const Placed& p, uint8_t r, uint8_t g, uint8_t b);

    // keep for a point already placed, on its own and in bulk.
    using Voxel = std::array<int64_t, 3>;
    bool thins() const { return voxel_ > 0; }
    Add keep(const CloudPoint& p, const Voxel& v);
    // Without thinning: keeps the points in order, as many as the budget
    // allows, and returns how many.
    size_t keepAll(const CloudPoint* points, size_t count);

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
};

}  // namespace kl::cloud
