#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

namespace kl::terrain {

// One elevation sheet as an ESRI ASCII grid: cells of `cellSize` metres from
// the lower-left corner, heights in file order (the northernmost row first,
// each row from west to east).
struct AsciiGrid {
  std::int32_t ncols = 0;
  std::int32_t nrows = 0;
  double cornerX = 0.0;
  double cornerY = 0.0;
  double cellSize = 0.0;
  // NaN when the sheet names none; NaN heights are missing data either way.
  double nodata = std::numeric_limits<double>::quiet_NaN();
  std::vector<double> heights;

  bool isNodata(double value) const noexcept { return std::isnan(value) || value == nodata; }

  // Height of the cell in column `col` and row `rowFromSouth`.
  double at(std::int32_t col, std::int32_t rowFromSouth) const noexcept {
    const auto row = static_cast<std::size_t>(nrows - 1 - rowFromSouth);
    return heights[row * static_cast<std::size_t>(ncols) + static_cast<std::size_t>(col)];
  }
};

}  // namespace kl::terrain
