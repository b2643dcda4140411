#pragma once
// The lowest ground return per square cell of the cloud: the height a roof
// point is measured from. Only occupied cells are held, so a sparse cloud
// over a large frame costs memory by its ground points, not by its area.
#include <cstdint>
#include <optional>
#include <span>
#include <unordered_map>

#include "buildings/cloud_point.h"

namespace kl::buildings {

struct GroundModel {
    double cellSize = 1.0;
    double originX = 0, originY = 0;  // smallest easting and northing of the whole cloud
    std::unordered_map<std::uint64_t, double> lowest;  // cellKey(col, row) -> lowest ground height
};

// Column in the upper 32 bits, row in the lower; a negative row keeps its
// own 32 bits instead of spilling its sign into the column.
constexpr std::uint64_t cellKey(std::int64_t col, std::int64_t row) {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(col)) << 32) |
           static_cast<std::uint64_t>(static_cast<std::uint32_t>(row));
}

// Points with a coordinate that is not finite are left out, as are all
// classes but ground.
GroundModel buildGroundModel(std::span<const CloudPoint> points, double cellSize);

// The cell's ground, else the lowest of its 3 x 3 neighbourhood; nothing when
// no ground return is that near (never a made-up height).
std::optional<double> groundHeightAt(const GroundModel& model, double x, double y);

// The lowest ground within `cells` cells of the box: the building's ground
// when the points under it have none of their own.
std::optional<double> lowestGroundAround(const GroundModel& model, double minX, double minY, double maxX, double maxY,
                                         int cells);

}  // namespace kl::buildings
