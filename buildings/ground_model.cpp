#include "buildings/ground_model.h"

#include <algorithm>
#include <cmath>

namespace kl::buildings {
namespace {

bool finite(const CloudPoint& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

std::int64_t index(double v, double origin, double cellSize) {
    return static_cast<std::int64_t>(std::floor((v - origin) / cellSize));
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
    return lowestIn(model, index(minX, model.originX, model.cellSize) - cells,
                    index(minY, model.originY, model.cellSize) - cells,
                    index(maxX, model.originX, model.cellSize) + cells,
                    index(maxY, model.originY, model.cellSize) + cells);
}

}  // namespace kl::buildings
