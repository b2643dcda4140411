#pragma once

#include <optional>

#include "terrain/ascii_grid.h"

namespace kl::terrain {

// Height at (x, y): bilinear between the cell centres, clamped at the sheet's
// edges; next to missing data the value of the cell holding the point, so a
// hole never drags its neighbours towards the nodata value. Nothing outside
// the sheet, on missing data or for a coordinate that is not finite.
std::optional<double> sampleAsciiGrid(const AsciiGrid& grid, double x, double y);

}  // namespace kl::terrain
