// The ground grid of the LiDAR points: layout, upper medians, hole filling,
// water cells and the water surface, and the clouds that must not break it.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "terrain/cloud_ground_grid.h"

namespace kl::terrain {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Heights are binned as floats, so a value comes back as its float.
double f32(double v) { return static_cast<double>(static_cast<float>(v)); }

struct CellExpect {
  int c = 0, r = 0;
  double height = kNaN;  // NaN: the cell stays empty
  bool water = false;
};

struct GridCase {
  const char* what;
  geo::Bbox frame;
  double cell;
  std::vector<CloudXyz> ground, water;
  bool flatten;
  int nx, ny;
  std::vector<CellExpect> cells;
  std::int64_t valid, waterCells, flattened;
  double level = kNaN;
  bool tooLarge = false;
};

const GridCase kCases[] = {
    {"a frame 10.5 m wide at 1 m has 11 columns", {0, 0, 10.5, 2}, 1.0, {}, {}, false, 11, 3, {}, 0, 0, 0},
    {"a cell size that is not positive is 1 m", {0, 0, 3, 0.5}, -2.0, {}, {}, false, 4, 1, {}, 0, 0, 0},
    {"two heights give the upper one", {0, 0, 0.5, 0.5}, 1.0, {{0.2, 0.2, 100.0}, {0.7, 0.1, 101.0}}, {}, false, 1,
     1, {{0, 0, 101.0}}, 1, 0, 0},
    {"points outside the grid, and NaN coordinates or heights, are left out", {0, 0, 0.5, 0.5}, 1.0,
     {{0.2, 0.2, 100.0}, {-0.1, 0.2, 500.0}, {1.5, 0.2, 500.0}, {kNaN, 0.2, 500.0}, {0.3, 0.3, kNaN},
      {0.3, 0.3, std::numeric_limits<double>::infinity()}},
     {}, false, 1, 1, {{0, 0, 100.0}}, 1, 0, 0},
    {"an empty cell inside eight valued ones takes their mean in the first pass", {0, 0, 2.5, 2.5}, 1.0,
     {{0.5, 0.5, 10}, {1.5, 0.5, 11}, {2.5, 0.5, 12}, {0.5, 1.5, 13}, {2.5, 1.5, 14}, {0.5, 2.5, 15},
      {1.5, 2.5, 16}, {2.5, 2.5, 17}},
     {}, false, 3, 3, {{1, 1, 13.5}}, 9, 0, 0},
    // Pass 1 fills only (1,1); (0,1) has two valued neighbours until then.
    {"a cell with two valued neighbours waits for a later pass", {0, 0, 2.5, 2.5}, 1.0,
     {{0.5, 0.5, 10}, {1.5, 0.5, 11}, {2.5, 0.5, 12}}, {}, false, 3, 3,
     {{1, 1, 11.0}, {0, 1, 32.0 / 3.0}, {2, 1, 34.0 / 3.0}, {1, 2, 11.0}}, 9, 0, 0},
    {"one water point keeps the ground and makes no water cell", {0, 0, 0.5, 0.5}, 1.0, {{0.5, 0.5, 100}},
     {{0.4, 0.4, 99}}, false, 1, 1, {{0, 0, 100.0, false}}, 1, 0, 0},
    {"two water points give their upper middle and a water cell", {0, 0, 0.5, 0.5}, 1.0, {{0.5, 0.5, 100}},
     {{0.4, 0.4, 99}, {0.3, 0.3, 98.5}}, false, 1, 1, {{0, 0, 99.0, true}}, 1, 1, 0},
    {"a water cell without ground adds a valid cell", {0, 0, 0.5, 0.5}, 1.0, {}, {{0.4, 0.4, 99}, {0.3, 0.3, 98}},
     false, 1, 1, {{0, 0, 99.0, true}}, 1, 1, 0},
    // The lake of cells 2 and 3 has its level from all five points; the
    // holes east of it join the surface, the hole west of the ground
    // cell does not: it is not connected to water. One row has at most two
    // neighbours a cell, so no hole is ever filled.
    {"flattening reaches only the holes connected to water", {0, 0, 6.5, 0.5}, 1.0, {{1.5, 0.5, 103}},
     {{2.1, 0.5, 101.0}, {2.2, 0.5, 101.2}, {3.1, 0.5, 101.2}, {3.2, 0.5, 101.4}, {3.3, 0.5, 101.5}}, true, 7, 1,
     {{0, 0, kNaN, false},
      {1, 0, 103.0, false},
      {2, 0, f32(101.2), true},
      {3, 0, f32(101.4), true},
      {4, 0, kNaN, true},
      {6, 0, kNaN, true}},
     3, 2, 5, f32(101.2)},
    {"flattening without water points leaves every hole empty", {0, 0, 3.5, 0.5}, 1.0, {{0.5, 0.5, 200}}, {}, true,
     4, 1, {{1, 0, kNaN, false}, {3, 0, kNaN, false}}, 1, 0, 0},
    {"water cells are not flattened unless asked", {0, 0, 2.5, 0.5}, 1.0, {},
     {{0.5, 0.5, 101.0}, {0.6, 0.5, 101.2}, {1.5, 0.5, 100.0}, {1.6, 0.5, 100.2}}, false, 3, 1,
     {{0, 0, f32(101.2), true}, {1, 0, f32(100.2), true}, {2, 0, kNaN, false}}, 2, 2, 0},
    {"a frame of more cells than the cap is refused", {0, 0, 1e6, 1e6}, 0.1, {{1, 1, 1}}, {}, true, 0, 0, {}, 0, 0,
     0, kNaN, true},
    {"a frame whose cell count overflows 32 bits is refused", {0, 0, 1e12, 1e3}, 1.0, {}, {}, false, 0, 0, {}, 0, 0,
     0, kNaN, true},
    {"an inverted or NaN frame has no cells", {5, 0, 0, 5}, 1.0, {{1, 1, 1}}, {}, false, 0, 0, {}, 0, 0, 0},
    {"a NaN frame has no cells", {0, 0, kNaN, 5}, 1.0, {{1, 1, 1}}, {}, false, 0, 0, {}, 0, 0, 0},
};

class CloudGround : public ::testing::TestWithParam<GridCase> {};

TEST_P(CloudGround, CellsAndCounters) {
  const GridCase& k = GetParam();
  const CloudGroundGrid g = buildCloudGroundGrid(k.ground, k.frame, k.cell, k.water, k.flatten);
  EXPECT_EQ(g.tooLarge, k.tooLarge);
  ASSERT_EQ(g.heights.nx, k.nx);
  ASSERT_EQ(g.heights.ny, k.ny);
  ASSERT_EQ(g.heights.values.size(), static_cast<std::size_t>(k.nx) * static_cast<std::size_t>(k.ny));
  ASSERT_EQ(g.water.size(), g.heights.values.size());
  for (const CellExpect& e : k.cells) {
    SCOPED_TRACE(::testing::Message() << "cell " << e.c << "," << e.r);
    const double v = g.heights.at(e.c, e.r);
    if (std::isnan(e.height)) EXPECT_TRUE(std::isnan(v)) << v;
    else EXPECT_DOUBLE_EQ(v, e.height);
    EXPECT_EQ(g.water[g.heights.index(e.c, e.r)], e.water ? 1 : 0);
  }
  EXPECT_EQ(g.validCells, k.valid);
  EXPECT_EQ(g.waterCells, k.waterCells);
  EXPECT_EQ(g.flattenedCells, k.flattened);
  if (std::isnan(k.level)) EXPECT_TRUE(std::isnan(g.waterLevel)) << g.waterLevel;
  else EXPECT_DOUBLE_EQ(g.waterLevel, k.level);
}

INSTANTIATE_TEST_SUITE_P(Clouds, CloudGround, ::testing::ValuesIn(kCases));

// A roof 45 m wide without ground under it on a slope: twenty passes close
// 40 m of it from both sides and leave its middle empty. With water
// elsewhere in the frame the middle must stay a hole, neither a lake nor a
// pit at lake level, and the grid the terrain is drawn from keeps the slope.
TEST(CloudGroundWarehouse, AHoleFarFromWaterStaysAHole) {
  std::vector<CloudXyz> ground, water;
  for (int x = 0; x < 100; ++x)
    for (int y = 0; y < 60; ++y) {
      const double z = 200.0 + 0.1 * x;
      if (x >= 10 && x < 55 && y >= 5 && y < 50) continue;
      if (x >= 85) water.push_back({x + 0.5, y + 0.5, 190.0}), water.push_back({x + 0.6, y + 0.6, 190.0});
      else ground.push_back({x + 0.5, y + 0.5, z});
    }
  const CloudGroundGrid g = buildCloudGroundGrid(ground, {0, 0, 99.5, 59.5}, 1.0, water, true);
  EXPECT_DOUBLE_EQ(g.waterLevel, 190.0);
  EXPECT_TRUE(std::isnan(g.heights.at(32, 27)));
  EXPECT_EQ(g.water[g.heights.index(32, 27)], 0);
  EXPECT_NEAR(g.heights.at(12, 27), 201.0, 0.2);  // filled from the slope beside it
  EXPECT_EQ(g.water[g.heights.index(90, 27)], 1);
  EXPECT_EQ(g.flattenedCells, g.waterCells);
}

}  // namespace
}  // namespace kl::terrain
