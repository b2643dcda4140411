#pragma once
// The terrain tiles of a fetch joined back into one regular grid, so the
// contours can be traced over the whole frame from the nodes the tiles hold.
#include <optional>
#include <vector>

#include "terrain/height_grid.h"
#include "terrain/terrain_tile.h"

namespace kl::terrain {

// One grid over all tiles: the node spacing is the smallest one between the
// tiles' columns, nodes no tile holds are NaN. Empty without points.
HeightGrid heightGridOfTiles(const std::vector<TerrainTile>& tiles);

// Bilinear between the four nodes around (x, y); nothing outside the grid,
// next to a node without data, or for a coordinate that is not finite.
std::optional<double> sampleHeightGrid(const HeightGrid& grid, double x, double y);

}  // namespace kl::terrain
