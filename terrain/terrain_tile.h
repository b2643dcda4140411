#pragma once

#include <vector>

namespace kl::terrain {

// One height node of a terrain tile, PL-1992 metres; height above sea level.
struct TerrainPoint {
  double x = 0.0;
  double y = 0.0;
  double height = 0.0;
};

// The nodes of one tile of the frame that have a height. The extent is that of
// the tile's nodes, not of the frame: neighbouring tiles share one seam column
// and row, so their meshes meet without overlapping.
struct TerrainTile {
  double minX = 0.0;
  double minY = 0.0;
  double maxX = 0.0;
  double maxY = 0.0;
  std::vector<TerrainPoint> points;
};

}  // namespace kl::terrain
