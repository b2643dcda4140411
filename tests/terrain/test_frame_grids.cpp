// Grids laid over the frame: terrain tiles (counts, seams, the 4 x 4 cut and
// holes) and the ground grid of the LiDAR points (layout and the clouds that
// must not break it). Where the ground grid's nodes sit, upper medians, hole
// filling, water cells and the water surface are compared with the numpy
// reference on random clouds.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "terrain/cloud_ground_grid.h"
#include "terrain/terrain_tiles.h"

namespace kl::terrain {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct GridCase {
  const char* what;
  geo::Bbox frame;
  double cell;
  std::vector<CloudXyz> ground;
  int nx, ny;
  std::int64_t valid;
  bool tooLarge = false;
  double origin = kNaN;  // the height of node (0, 0), when given
};

const GridCase kCases[] = {
    {"a frame 10.5 m wide at 1 m has 11 columns", {0, 0, 10.5, 2}, 1.0, {}, 11, 3, 0},
    {"a cell size that is not positive is 1 m", {0, 0, 3, 0.5}, -2.0, {}, 4, 1, 0},
    {"points over half a cell beyond the outer nodes, and NaN coordinates or heights, are left out",
     {0, 0, 0.5, 0.5}, 1.0,
     {{0.2, 0.2, 100.0}, {-0.6, 0.2, 500.0}, {0.2, 0.5, 500.0}, {kNaN, 0.2, 500.0}, {0.3, 0.3, kNaN},
      {0.3, 0.3, std::numeric_limits<double>::infinity()}},
     1, 1, 1, false, 100.0},
    {"a frame of more cells than the cap is refused", {0, 0, 1e6, 1e6}, 0.1, {{1, 1, 1}}, 0, 0, 0, true},
    {"a frame whose cell count overflows 32 bits is refused", {0, 0, 1e12, 1e3}, 1.0, {}, 0, 0, 0, true},
    {"an inverted frame has no cells", {5, 0, 0, 5}, 1.0, {{1, 1, 1}}, 0, 0, 0},
    {"a NaN frame has no cells", {0, 0, kNaN, 5}, 1.0, {{1, 1, 1}}, 0, 0, 0},
};

TEST(CloudGround, CellsAndCounters) {
  for (const GridCase& k : kCases) {
    SCOPED_TRACE(k.what);
    const CloudGroundGrid g = buildCloudGroundGrid(k.ground, k.frame, k.cell, {}, false);
    EXPECT_EQ(g.tooLarge, k.tooLarge);
    ASSERT_EQ(g.heights.nx, k.nx);
    ASSERT_EQ(g.heights.ny, k.ny);
    ASSERT_EQ(g.heights.values.size(), static_cast<std::size_t>(k.nx) * static_cast<std::size_t>(k.ny));
    ASSERT_EQ(g.water.size(), g.heights.values.size());
    EXPECT_EQ(g.validCells, k.valid);
    if (!std::isnan(k.origin)) { EXPECT_DOUBLE_EQ(g.heights.at(0, 0), k.origin); }
  }
}

struct TileCase {
  const char* what;
  geo::Bbox frame;
  double step;
  std::size_t tiles;
  double coveredMaxX;  // east edge of the easternmost tile, metres from minX
  double coveredMaxY;
  std::size_t points;  // over all tiles, seams counted in each tile
  std::string message;
};

const TileCase kTileCases[] = {
    {"150 x 150 at 1 m: one tile of 151 x 151", {0, 0, 150, 150}, 1, 1, 150, 150, 151 * 151, ""},
    {"a step that is not positive is 1 m", {0, 0, 150, 150}, 0, 1, 150, 150, 151 * 151, ""},
    // Nx = 451: 3 tiles of 151 columns, seams at 151 and 302; Ny = 251: 2
    // tiles of 126 rows, seam at 126.
    {"450 x 250 at 1 m: 3 x 2 tiles sharing seams", {0, 0, 450, 250}, 1, 6, 450, 250,
     (152 + 152 + 149) * (127 + 125), ""},
    // Nx = 1001 wants 6 tiles, cut to 4 of 200 columns: 0..799; Ny = 601 in 4
    // rows of 151.
    {"1000 x 600 at 1 m: cut to 4 x 4", {0, 0, 1000, 600}, 1, 16, 799, 600, (201 * 3 + 200) * (152 * 3 + 148),
     "Kadr za duzy dla kroku 1 m - teren ograniczony do 4x4 platek. Zwieksz krok do >= 2 m, aby pokryc caly kadr."},
    {"a frame of kilometres at 1 m stays within 800 nodes per axis", {0, 0, 1e9, 1e9}, 1, 16, 799, 799, 803 * 803,
     "Kadr za duzy dla kroku 1 m - teren ograniczony do 4x4 platek. Zwieksz krok do >= 1251565 m, aby pokryc caly kadr."},
    {"a frame that is not a number gives nothing", {0, 0, kNaN, 10}, 1, 0, 0, 0, 0, ""},
};

TEST(BuildTerrainTiles, TilesMeetOnSeamsWithinTheirOwnExtent) {
  for (const TileCase& c : kTileCases) {
    SCOPED_TRACE(c.what);
    const geo::Bbox f = c.frame;
    const TerrainTiles got = buildTerrainTiles(f, c.step, [](double x, double y) -> std::optional<double> { return x + y; });
    ASSERT_EQ(got.tiles.size(), c.tiles);
    EXPECT_EQ(got.message, c.message);
    std::size_t points = 0;
    double maxX = 0, maxY = 0;
    for (const TerrainTile& t : got.tiles) {
      points += t.points.size();
      // A tile's extent is that of its own nodes, never the whole frame when
      // there is more than one tile.
      for (const TerrainPoint& p : t.points) {
        EXPECT_TRUE(p.x >= t.minX && p.x <= t.maxX && p.y >= t.minY && p.y <= t.maxY);
        EXPECT_DOUBLE_EQ(p.height, p.x + p.y);
      }
      if (c.tiles > 1) {
        EXPECT_LT((t.maxX - t.minX) * (t.maxY - t.minY), (f.maxX - f.minX) * (f.maxY - f.minY));
      }
      maxX = std::max(maxX, t.maxX - f.minX);
      maxY = std::max(maxY, t.maxY - f.minY);
    }
    if (c.tiles == 0) continue;
    EXPECT_EQ(points, c.points);
    EXPECT_DOUBLE_EQ(maxX, c.coveredMaxX);
    EXPECT_DOUBLE_EQ(maxY, c.coveredMaxY);
    // Each tile after the first of its row starts on the previous one's east seam.
    for (std::size_t i = 1; i < got.tiles.size(); ++i) {
      const TerrainTile& a = got.tiles[i - 1];
      const TerrainTile& b = got.tiles[i];
      if (a.minY == b.minY) {
        EXPECT_DOUBLE_EQ(b.minX, a.maxX);
      }
    }
  }
}

TEST(BuildTerrainTilesHoles, NodesWithoutHeightAreLeftOutAndEmptyTilesDropped) {
  // Only the west half of 450 x 250 has heights: the east column of tiles
  // (from x = 302) has none and is dropped; the middle one keeps x <= 225.
  const TerrainTiles got = buildTerrainTiles({0, 0, 450, 250}, 1, [](double x, double) -> std::optional<double> {
    if (x > 225) return std::nullopt;
    return 100.0;
  });
  ASSERT_EQ(got.tiles.size(), 4u);
  for (const TerrainTile& t : got.tiles)
    for (const TerrainPoint& p : t.points) EXPECT_LE(p.x, 225);
  EXPECT_DOUBLE_EQ(got.tiles[1].maxX, 302) << "the extent is the tile's nodes, not its points";
}

}  // namespace
}  // namespace kl::terrain
