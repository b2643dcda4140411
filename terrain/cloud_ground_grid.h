#pragma once
// The ground of the frame as a regular grid of cells, made from the LiDAR
// ground points (class 2) and water points (class 9) that the caller has
// already sorted by class: per-cell upper medians, small holes filled from
// their neighbours, water cells, and the level of the water surface.
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

#include "geodata/geometry.h"
#include "terrain/height_grid.h"

namespace kl::terrain {

struct CloudXyz {
  double x = 0.0;  // PL-1992 metres
  double y = 0.0;
  double z = 0.0;  // above sea level
};

// A dense grid of more cells costs more memory than a fetch may take (the
// fetch itself keeps to 800 x 800); the grid refuses it whatever the caller.
inline constexpr std::int64_t kMaxCloudGridCells = 4'000'000;
inline constexpr int kHoleFillingPasses = 20;

struct CloudGroundGrid {
  // Node (c, r) at (x0 + c*step, y0 + r*step) holds the ground of the points
  // nearer to it than to any other node, within half a step each way (a
  // water node: the water's own median), NaN where nothing gave it one. Never flattened: the terrain mesh and the
  // contours must show the ground as measured.
  HeightGrid heights;
  // 1 for a cell of the water surface, else 0. With flattening it also marks
  // the empty cells reached from water, which have no ground height.
  std::vector<std::uint8_t> water;
  // The flat water surface: every water cell at this level. NaN when
  // flattening did not run (not asked, or no water point to take it from).
  double waterLevel = std::numeric_limits<double>::quiet_NaN();
  std::int64_t validCells = 0;      // cells that received a height
  std::int64_t waterCells = 0;      // cells with at least 2 water points
  std::int64_t flattenedCells = 0;  // cells of the flat water surface
  std::int64_t waterPoints = 0;     // water points that fell into a cell
  bool tooLarge = false;            // refused: more than kMaxCloudGridCells
};

// Points more than half a step beyond the outer nodes, or with a coordinate
// that is not finite, are left out. A cell size that is not positive is 1 m.
// With flattenWater the water surface spreads over the empty cells connected
// to water cells (edge to edge), never over holes elsewhere in the frame,
// which stay empty.
CloudGroundGrid buildCloudGroundGrid(std::span<const CloudXyz> ground, const geo::Bbox& frame, double cell,
                                     std::span<const CloudXyz> water, bool flattenWater);

}  // namespace kl::terrain
