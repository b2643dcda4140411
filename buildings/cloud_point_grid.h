#pragma once
// The cloud's points bucketed in square cells, so that the points under one
// footprint are found without walking the whole cloud.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "buildings/cloud_point.h"

namespace kl::buildings {

class CloudPointGrid {
public:
    // Points with a coordinate that is not finite are left out.
    explicit CloudPointGrid(std::vector<CloudPoint> points, double cellSize = 8.0);

    // Every point held, grouped by cell.
    const std::vector<CloudPoint>& points() const { return points_; }

    // Calls visit(point) for each point of the cells the box touches: every
    // point inside the box, and some near it.
    template <class Visit>
    void forEachNear(double minX, double minY, double maxX, double maxY, Visit visit) const {
        if (points_.empty() || !(minX <= maxX) || !(minY <= maxY)) return;
        const std::int64_t c0 = column(minX), c1 = column(maxX), r0 = row(minY), r1 = row(maxY);
        for (std::int64_t r = r0; r <= r1; ++r) {
            const std::size_t from = start_[cell(c0, r)], to = start_[cell(c1, r) + 1];
            for (std::size_t i = from; i < to; ++i) visit(points_[i]);
        }
    }

private:
    std::int64_t column(double x) const;
    std::int64_t row(double y) const;
    std::size_t cell(std::int64_t col, std::int64_t row) const {
        return static_cast<std::size_t>(row * cols_ + col);
    }

    double cellSize_;
    double minX_ = 0, minY_ = 0;
    std::int64_t cols_ = 0, rows_ = 0;
    std::vector<CloudPoint> points_;
    std::vector<std::size_t> start_;  // first point of each cell, in row-major order, and the end
};

}  // namespace kl::buildings
