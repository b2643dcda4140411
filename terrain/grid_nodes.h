#pragma once

#include "terrain/ascii_grid.h"
#include "terrain/height_grid.h"

namespace kl::terrain {

// The sheet's cells as nodes at their centres, as GDAL takes them for
// contouring: rows turned to run from the south, missing data as NaN.
HeightGrid cellCentreNodes(const AsciiGrid& sheet);

}  // namespace kl::terrain
