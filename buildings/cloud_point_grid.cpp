#include "buildings/cloud_point_grid.h"

#include <algorithm>
#include <cmath>

namespace kl::buildings {
namespace {

// Past this many cells a wide, sparse cloud would spend more on empty
// buckets than it saves; the cells grow instead.
constexpr double kMaxCells = 4.0e6;

}  // namespace

CloudPointGrid::CloudPointGrid(std::vector<CloudPoint> points, double cellSize) : cellSize_(cellSize) {
    std::erase_if(points, [](const CloudPoint& p) {
        return !std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z);
    });
    if (!(cellSize_ > 0) || !std::isfinite(cellSize_)) cellSize_ = 8.0;
    if (points.empty()) return;
    double maxX = points[0].x, maxY = points[0].y;
    minX_ = points[0].x;
    minY_ = points[0].y;
    for (const CloudPoint& p : points) {
        minX_ = std::min(minX_, p.x);
        minY_ = std::min(minY_, p.y);
        maxX = std::max(maxX, p.x);
        maxY = std::max(maxY, p.y);
    }
    const double area = (maxX - minX_ + cellSize_) * (maxY - minY_ + cellSize_);
    if (area / (cellSize_ * cellSize_) > kMaxCells) cellSize_ = std::sqrt(area / kMaxCells);
    cols_ = static_cast<std::int64_t>(std::floor((maxX - minX_) / cellSize_)) + 1;
    rows_ = static_cast<std::int64_t>(std::floor((maxY - minY_) / cellSize_)) + 1;
    // Counting sort by cell: two passes, no per-cell vectors.
    std::vector<std::size_t> cellOf(points.size());
    start_.assign(static_cast<std::size_t>(cols_ * rows_) + 1, 0);
    for (std::size_t i = 0; i < points.size(); ++i) {
        cellOf[i] = cell(column(points[i].x), row(points[i].y));
        ++start_[cellOf[i] + 1];
    }
    for (std::size_t c = 1; c < start_.size(); ++c) start_[c] += start_[c - 1];
    std::vector<std::size_t> next(start_.begin(), start_.end() - 1);
    points_.resize(points.size());
    for (std::size_t i = 0; i < points.size(); ++i) points_[next[cellOf[i]]++] = points[i];
}

// Clamped while still a double: a far-off query must not overflow the index.
std::int64_t CloudPointGrid::column(double x) const {
    return static_cast<std::int64_t>(std::clamp(std::floor((x - minX_) / cellSize_), 0.0, static_cast<double>(cols_ - 1)));
}

std::int64_t CloudPointGrid::row(double y) const {
    return static_cast<std::int64_t>(std::clamp(std::floor((y - minY_) / cellSize_), 0.0, static_cast<double>(rows_ - 1)));
}

}  // namespace kl::buildings
