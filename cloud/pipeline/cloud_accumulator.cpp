#include "cloud/pipeline/cloud_accumulator.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace kl::cloud {
namespace {

// The kept points fill hundreds of megabytes, written once in order. In large
// pages that takes hundreds of times fewer page faults and TLB misses, which
// otherwise cost as much as placing the points.
void preferLargePages(const void* data, size_t bytes) {
#if defined(__linux__)
    constexpr uintptr_t kLarge = uintptr_t{2} << 20;
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + kLarge - 1) & ~(kLarge - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + bytes) & ~(kLarge - 1);
    // Only advice: where the system has no large pages the points simply take small ones.
    if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    (void)data;
    (void)bytes;
#endif
}

}  // namespace

CloudAccumulator::CloudAccumulator(const geo::Bbox& frame, double voxel, int placeEpsg, int64_t budget)
    : frame_(frame), voxel_(voxel), placeEpsg_(placeEpsg), budget_(budget),
      toZone_(geo::localAffinePl1992ToPl2000(frame, placeEpsg)) {
    points_.reserve(static_cast<size_t>(std::max<int64_t>(budget, 0)));
    preferLargePages(points_.data(), points_.capacity() * sizeof(CloudPoint));
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
    Placed p;
    return place(x, y, z, &p) ? keep({p.x, p.y, p.z, r, g, b}, {p.i, p.j, p.k}) : Add::Dropped;
}

bool CloudAccumulator::place(double x, double y, double z, Placed* out) const {
    if (!(x >= frame_.minX && x <= frame_.maxX && y >= frame_.minY && y <= frame_.maxY)) return false;
    const auto en = toZone_.apply({x, y});
    const double lx = en.x - originE_, ly = en.y - originN_, lz = z - originZ_;
    // A garbage height (a broken scale in a tile header) must not reach the
    // voxel index, whose integer conversion would overflow.
    if (!std::isfinite(lz) || std::fabs(lz) > 1e9) return false;
    *out = {lx, ly, lz, 0, 0, 0};
    if (voxel_ > 0) {
        out->i = static_cast<int64_t>(std::floor(lx / voxel_));
        out->j = static_cast<int64_t>(std::floor(ly / voxel_));
        out->k = static_cast<int64_t>(std::floor(lz / voxel_));
    }
    return true;
}

CloudAccumulator::Add CloudAccumulator::keep(const CloudPoint& p, const Voxel& v) {
    if (voxel_ > 0 && !voxels_.insert(v[0], v[1], v[2])) return Add::Dropped;
    if (static_cast<int64_t>(points_.size()) >= budget_) return Add::OverBudget;
    points_.push_back(p);
    tileBounds_.add(p);
    return Add::Kept;
}

size_t CloudAccumulator::keepAll(const CloudPoint* points, size_t count, const PointBounds& bounds) {
    const int64_t room = std::max<int64_t>(budget_ - static_cast<int64_t>(points_.size()), 0);
    const size_t n = std::min(count, static_cast<size_t>(room));
    points_.insert(points_.end(), points, points + n);
    if (n == count) {
        tileBounds_.add(bounds);
    } else {
        for (size_t i = 0; i < n; ++i) tileBounds_.add(points[i]);
    }
    return n;
}

void CloudAccumulator::commitTile() {
    bounds_.add(tileBounds_);
    tileBounds_ = {};
    voxels_.commit();
    tileStart_ = points_.size();
}

void CloudAccumulator::dropTile() {
    tileBounds_ = {};
    voxels_.rollback();
    points_.resize(tileStart_);
}

}  // namespace kl::cloud
