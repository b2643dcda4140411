#include "terrain/grid_nodes.h"

#include <limits>

namespace kl::terrain {

HeightGrid cellCentreNodes(const AsciiGrid& sheet) {
  HeightGrid grid;
  grid.x0 = sheet.cornerX + sheet.cellSize / 2.0;
  grid.y0 = sheet.cornerY + sheet.cellSize / 2.0;
  grid.step = sheet.cellSize;
  grid.nx = sheet.ncols;
  grid.ny = sheet.nrows;
  grid.values.resize(sheet.heights.size());
  for (std::int32_t r = 0; r < sheet.nrows; ++r) {
    for (std::int32_t c = 0; c < sheet.ncols; ++c) {
      const double v = sheet.at(c, r);
      grid.values[grid.index(c, r)] = sheet.isNodata(v) ? std::numeric_limits<double>::quiet_NaN() : v;
    }
  }
  return grid;
}

}  // namespace kl::terrain
