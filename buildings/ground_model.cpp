#include "buildings/ground_model.h"

#include <algorithm>
#include <cmath>

namespace kl::buildings {
namespace {

bool finite(const CloudPoint& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

// The cell a coordinate falls in, still a double: a coordinate far off
// lies more cells away than an integer holds.
double cellOf(double v, double origin, double cellSize) { return std::floor((v - origin) / cellSize); }

// Clamped while still a double, so it cannot overflow.
std::int64_t index(double v, double origin, double cellSize) {
    return static_cast<std::int64_t>(std::clamp(cellOf(v, origin, cellSize), -9.0e15, 9.0e15));
}

std::optional<double> lowestIn(const GroundModel& model, std::int64_t col0, std::int64_t row0, std::int64_t col1,
                               std::int64_t row1) {
    std::optional<double> lowest;
    for (std::int64_t c = col0; c <= col1; ++c)
        for (std::int64_t r = row0; r <= row1; ++r)
            if (const auto it = model.lowest.find(cellKey(c, r)); it != model.lowest.end())
                lowest = lowest ? std::min(*lowest, it->second) : it->second;
    return lowest;
}

}  // namespace

GroundModel buildGroundModel(std::span<const CloudPoint> points, double cellSize) {
    GroundModel model;
    model.cellSize = cellSize > 0 && std::isfinite(cellSize) ? cellSize : 1.0;
    bool any = false;
    for (const CloudPoint& p : points) {
        if (!finite(p)) continue;
        model.originX = any ? std::min(model.originX, p.x) : p.x;
        model.originY = any ? std::min(model.originY, p.y) : p.y;
        any = true;
    }
    for (const CloudPoint& p : points) {
        if (p.cls != kGroundClass || !finite(p)) continue;
        const auto key = cellKey(index(p.x, model.originX, model.cellSize), index(p.y, model.originY, model.cellSize));
        const auto [it, inserted] = model.lowest.try_emplace(key, p.z);
        if (!inserted) it->second = std::min(it->second, p.z);
    }
    return model;
}

std::optional<double> groundHeightAt(const GroundModel& model, double x, double y) {
    if (!std::isfinite(x) || !std::isfinite(y)) return std::nullopt;
    const std::int64_t col = index(x, model.originX, model.cellSize);
    const std::int64_t row = index(y, model.originY, model.cellSize);
    if (const auto it = model.lowest.find(cellKey(col, row)); it != model.lowest.end()) return it->second;
    return lowestIn(model, col - 1, row - 1, col + 1, row + 1);
}

std::optional<double> lowestGroundAround(const GroundModel& model, double minX, double minY, double maxX, double maxY,
                                         int cells) {
    if (!std::isfinite(minX) || !std::isfinite(minY) || !std::isfinite(maxX) || !std::isfinite(maxY))
        return std::nullopt;
    // A box from a stray vertex kilometres away spans more cells than an
    // integer holds: counted while still doubles.
    const double col0 = cellOf(minX, model.originX, model.cellSize) - cells;
    const double row0 = cellOf(minY, model.originY, model.cellSize) - cells;
    const double col1 = cellOf(maxX, model.originX, model.cellSize) + cells;
    const double row1 = cellOf(maxY, model.originY, model.cellSize) + cells;
    if ((col1 - col0 + 1) * (row1 - row0 + 1) <= static_cast<double>(model.lowest.size()))
        return lowestIn(model, static_cast<std::int64_t>(col0), static_cast<std::int64_t>(row0),
                        static_cast<std::int64_t>(col1), static_cast<std::int64_t>(row1));
    // A box of more cells than there is ground: each ground cell is asked
    // whether it lies in the box, so the cost never exceeds the model's size.
    std::optional<double> lowest;
    for (const auto& [key, z] : model.lowest) {
        const auto col = static_cast<double>(static_cast<std::int32_t>(key >> 32));
        const auto row = static_cast<double>(static_cast<std::int32_t>(key & 0xFFFFFFFFu));
        if (col >= col0 && col <= col1 && row >= row0 && row <= row1) lowest = lowest ? std::min(*lowest, z) : z;
    }
    return lowest;
}

}  // namespace kl::buildings
