#pragma once
// The frame cut into tiles of height nodes, each tile later one terrain mesh.
#include <string>
#include <vector>

#include "geodata/geometry.h"
#include "terrain/contour_grid.h"
#include "terrain/terrain_tile.h"

namespace kl::terrain {

// A mesh of more nodes per axis is too slow to place.
inline constexpr int kTileNodes = 200;
// More tiles per axis make too large a model; the frame is then cut.
inline constexpr int kMaxTilesPerAxis = 4;

struct TerrainTiles {
  std::vector<TerrainTile> tiles;  // rows from the south, each from the west
  std::string message;             // Polish, set when the frame had to be cut
};

// Nodes every `step` metres (1 when not positive) from the frame's minimum
// corner, sampled once each, in tiles of at most 200 nodes per axis that share
// their seam column and row. Nodes without a height are left out; a tile
// without any is dropped.
TerrainTiles buildTerrainTiles(const geo::Bbox& frame, double step, const HeightSampler& sampler);

}  // namespace kl::terrain
