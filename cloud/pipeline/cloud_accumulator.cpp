#include "cloud/pipeline/cloud_accumulator.h"

#include <algorithm>
#include <cmath>

namespace kl::cloud {

CloudAccumulator::CloudAccumulator(const geo::Bbox& frame, double voxel, int placeEpsg, int64_t budget)
    : frame_(frame), voxel_(voxel), placeEpsg_(placeEpsg), budget_(budget),
      toZone_(geo::localAffinePl1992ToPl2000(frame, placeEpsg)) {
    const geo::Point2d corners[4] = {toZone_.apply({frame.minX, frame.minY}), toZone_.apply({frame.maxX, frame.minY}),
                                     toZone_.apply({frame.minX, frame.maxY}), toZone_.apply({frame.maxX, frame.maxY})};
    originE_ = corners[0].x;
    originN_ = corners[0].y;
    for (const auto& c : corners) {
        originE_ = std::min(originE_, c.x);
        originN_ = std::min(originN_, c.y);
    }
}

void CloudAccumulator::setOrigin(double e, double n, double z) {
    originE_ = e;
    originN_ = n;
    originZ_ = z;
}

CloudAccumulator::Add CloudAccumulator::add(double x, double y, double z, uint8_t r, uint8_t g, uint8_t b) {
    if (!(x >= frame_.minX && x <= frame_.maxX && y >= frame_.minY && y <= frame_.maxY)) return Add::Dropped;
    const auto en = toZone_.apply({x, y});
    const double lx = en.x - originE_, ly = en.y - originN_, lz = z - originZ_;
    // A garbage height (a broken scale in a tile header) must not reach the
    // voxel index, whose integer conversion would overflow.
    if (!std::isfinite(lz) || std::fabs(lz) > 1e9) return Add::Dropped;
    if (voxel_ > 0) {
        const auto i = static_cast<int64_t>(std::floor(lx / voxel_));
        const auto j = static_cast<int64_t>(std::floor(ly / voxel_));
        const auto k = static_cast<int64_t>(std::floor(lz / voxel_));
        if (!voxels_.insert(i, j, k)) return Add::Dropped;
    }
    if (static_cast<int64_t>(points_.size()) >= budget_) return Add::OverBudget;
    points_.push_back({lx, ly, lz, r, g, b});
    return Add::Kept;
}

void CloudAccumulator::commitTile() {
    voxels_.commit();
    tileStart_ = points_.size();
}

void CloudAccumulator::dropTile() {
    voxels_.rollback();
    points_.resize(tileStart_);
}

}  // namespace kl::cloud
