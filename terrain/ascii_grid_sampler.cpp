#include "terrain/ascii_grid_sampler.h"

#include <algorithm>
#include <cmath>

namespace kl::terrain {

std::optional<double> sampleAsciiGrid(const AsciiGrid& grid, double x, double y) {
  if (grid.ncols < 1 || grid.nrows < 1 || !(grid.cellSize > 0.0)) return std::nullopt;
  const double fx = (x - grid.cornerX) / grid.cellSize;
  const double fy = (y - grid.cornerY) / grid.cellSize;
  // Compared as doubles before any cast: NaN fails both tests, and a point
  // far away never reaches an integer conversion that could overflow.
  if (!(fx >= 0.0 && fx < grid.ncols && fy >= 0.0 && fy < grid.nrows)) return std::nullopt;
  const auto cellCol = std::min(static_cast<std::int32_t>(fx), grid.ncols - 1);
  const auto cellRow = std::min(static_cast<std::int32_t>(fy), grid.nrows - 1);

  const double gx = fx - 0.5;
  const double gy = fy - 0.5;
  const double c0 = std::floor(gx);
  const double r0 = std::floor(gy);
  const double tx = gx - c0;
  const double ty = gy - r0;
  const auto clampCol = [&](double c) { return static_cast<std::int32_t>(std::clamp(c, 0.0, grid.ncols - 1.0)); };
  const auto clampRow = [&](double r) { return static_cast<std::int32_t>(std::clamp(r, 0.0, grid.nrows - 1.0)); };
  const std::int32_t west = clampCol(c0);
  const std::int32_t east = clampCol(c0 + 1.0);
  const std::int32_t south = clampRow(r0);
  const std::int32_t north = clampRow(r0 + 1.0);

  const double sw = grid.at(west, south);
  const double se = grid.at(east, south);
  const double nw = grid.at(west, north);
  const double ne = grid.at(east, north);
  if (!grid.isNodata(sw) && !grid.isNodata(se) && !grid.isNodata(nw) && !grid.isNodata(ne)) {
    return (1.0 - tx) * (1.0 - ty) * sw + tx * (1.0 - ty) * se + (1.0 - tx) * ty * nw + tx * ty * ne;
  }
  const double own = grid.at(cellCol, cellRow);
  if (grid.isNodata(own)) return std::nullopt;
  return own;
}

}  // namespace kl::terrain
