#include "terrain/tile_grid.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kl::terrain {
namespace {

// Node positions closer than this (metres) are one node.
constexpr double kSameNode = 1e-6;

double nodeSpacing(const std::vector<TerrainTile>& tiles) {
    std::vector<double> xs;
    for (const TerrainTile& t : tiles)
        for (const TerrainPoint& p : t.points) xs.push_back(p.x);
    std::sort(xs.begin(), xs.end());
    double step = std::numeric_limits<double>::infinity();
    for (size_t i = 1; i < xs.size(); ++i)
        if (xs[i] - xs[i - 1] > kSameNode) step = std::min(step, xs[i] - xs[i - 1]);
    return step;
}

}  // namespace

HeightGrid heightGridOfTiles(const std::vector<TerrainTile>& tiles) {
    HeightGrid grid;
    double minX = std::numeric_limits<double>::infinity(), minY = minX, maxX = -minX, maxY = -minX;
    for (const TerrainTile& t : tiles)
        for (const TerrainPoint& p : t.points) {
            minX = std::min(minX, p.x);
            minY = std::min(minY, p.y);
            maxX = std::max(maxX, p.x);
            maxY = std::max(maxY, p.y);
        }
    if (!(minX <= maxX)) return grid;
    const double spacing = nodeSpacing(tiles);
    grid.step = std::isfinite(spacing) ? spacing : 1.0;
    grid.x0 = minX;
    grid.y0 = minY;
    grid.nx = static_cast<std::int32_t>(std::llround((maxX - minX) / grid.step)) + 1;
    grid.ny = static_cast<std::int32_t>(std::llround((maxY - minY) / grid.step)) + 1;
    grid.values.assign(static_cast<size_t>(grid.nx) * static_cast<size_t>(grid.ny),
                       std::numeric_limits<double>::quiet_NaN());
    for (const TerrainTile& t : tiles)
        for (const TerrainPoint& p : t.points) {
            const auto c = static_cast<std::int32_t>(std::llround((p.x - minX) / grid.step));
            const auto r = static_cast<std::int32_t>(std::llround((p.y - minY) / grid.step));
            grid.values[grid.index(c, r)] = p.height;
        }
    return grid;
}

std::optional<double> sampleHeightGrid(const HeightGrid& grid, double x, double y) {
    if (!std::isfinite(x) || !std::isfinite(y) || grid.nx < 1 || grid.ny < 1 || !(grid.step > 0)) return std::nullopt;
    const double u = (x - grid.x0) / grid.step, v = (y - grid.y0) / grid.step;
    if (u < -kSameNode || v < -kSameNode || u > grid.nx - 1 + kSameNode || v > grid.ny - 1 + kSameNode)
        return std::nullopt;
    const auto c = std::clamp(static_cast<std::int32_t>(std::floor(u)), 0, std::max(grid.nx - 2, 0));
    const auto r = std::clamp(static_cast<std::int32_t>(std::floor(v)), 0, std::max(grid.ny - 2, 0));
    const std::int32_t c1 = std::min(c + 1, grid.nx - 1), r1 = std::min(r + 1, grid.ny - 1);
    const double fu = std::clamp(u - c, 0.0, 1.0), fv = std::clamp(v - r, 0.0, 1.0);
    const double z00 = grid.at(c, r), z10 = grid.at(c1, r), z01 = grid.at(c, r1), z11 = grid.at(c1, r1);
    if (std::isnan(z00) || std::isnan(z10) || std::isnan(z01) || std::isnan(z11)) return std::nullopt;
    return (z00 * (1 - fu) + z10 * fu) * (1 - fv) + (z01 * (1 - fu) + z11 * fu) * fv;
}

}  // namespace kl::terrain
