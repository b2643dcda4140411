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

struct Plane {
  double a = 0, b = 0, c = kNaN;  // NaN: no plane to compare with
  double at(double x, double y) const { return a * x + b * y + c; }
};

// The plane sampled on a regular raster of perCell x perCell points a cell,
// reaching half a cell beyond the frame so that the outer nodes are sampled
// on every side too.
std::vector<CloudXyz> sampled(const Plane& plane, const geo::Bbox& frame, double cell, int perCell) {
  const double spacing = cell / perCell, x0 = frame.minX - cell / 2 + spacing / 2,
               y0 = frame.minY - cell / 2 + spacing / 2;
  const auto across = [&](double span) { return static_cast<int>(std::lround(span / spacing)) + perCell; };
  std::vector<CloudXyz> out;
  for (int j = 0; j < across(frame.maxY - frame.minY); ++j)
    for (int i = 0; i < across(frame.maxX - frame.minX); ++i) {
      const double x = x0 + i * spacing, y = y0 + j * spacing;
      out.push_back({x, y, plane.at(x, y)});
    }
  return out;
}

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
  Plane plane{};  // every valued node must lie on it within kOnPlane
};

// Ten by ten points a cell on a plane: the upper median at a node is the
// plane there, give or take the float heights.
constexpr double kOnPlane = 0.002;
constexpr Plane kTilted{0.3, 0.1, -179800.0};  // 200 m at the origin
constexpr geo::Bbox kTiltedFrame{500000.0, 300000.0, 500020.0, 300012.0};

const GridCase kCases[] = {
    {"a frame 10.5 m wide at 1 m has 11 columns", {0, 0, 10.5, 2}, 1.0, {}, {}, false, 11, 3, {}, 0, 0, 0},
    {"a cell size that is not positive is 1 m", {0, 0, 3, 0.5}, -2.0, {}, {}, false, 4, 1, {}, 0, 0, 0},
    {"two heights give the upper one", {0, 0, 0.5, 0.5}, 1.0, {{0.2, 0.2, 100.0}, {-0.3, 0.1, 101.0}}, {}, false, 1,
     1, {{0, 0, 101.0}}, 1, 0, 0},
    {"points over half a cell beyond the outer nodes, and NaN coordinates or heights, are left out",
     {0, 0, 0.5, 0.5}, 1.0,
     {{0.2, 0.2, 100.0}, {-0.6, 0.2, 500.0}, {0.2, 0.5, 500.0}, {kNaN, 0.2, 500.0}, {0.3, 0.3, kNaN},
      {0.3, 0.3, std::numeric_limits<double>::infinity()}},
     {}, false, 1, 1, {{0, 0, 100.0}}, 1, 0, 0},
    {"an empty cell inside eight valued ones takes their mean in the first pass", {0, 0, 2.5, 2.5}, 1.0,
     {{0, 0, 10}, {1, 0, 11}, {2, 0, 12}, {0, 1, 13}, {2, 1, 14}, {0, 2, 15}, {1, 2, 16}, {2, 2, 17}},
     {}, false, 3, 3, {{1, 1, 13.5}}, 9, 0, 0},
    // Pass 1 fills only (1,1); (0,1) has two valued neighbours until then.
    {"a cell with two valued neighbours waits for a later pass", {0, 0, 2.5, 2.5}, 1.0,
     {{0, 0, 10}, {1, 0, 11}, {2, 0, 12}}, {}, false, 3, 3,
     {{1, 1, 11.0}, {0, 1, 32.0 / 3.0}, {2, 1, 34.0 / 3.0}, {1, 2, 11.0}}, 9, 0, 0},
    {"one water point keeps the ground and makes no water cell", {0, 0, 0.5, 0.5}, 1.0, {{0, 0, 100}},
     {{0.4, 0.4, 99}}, false, 1, 1, {{0, 0, 100.0, false}}, 1, 0, 0},
    {"two water points give their upper middle and a water cell", {0, 0, 0.5, 0.5}, 1.0, {{0, 0, 100}},
     {{0.4, 0.4, 99}, {0.3, 0.3, 98.5}}, false, 1, 1, {{0, 0, 99.0, true}}, 1, 1, 0},
    {"a water cell without ground adds a valid cell", {0, 0, 0.5, 0.5}, 1.0, {}, {{0.4, 0.4, 99}, {0.3, 0.3, 98}},
     false, 1, 1, {{0, 0, 99.0, true}}, 1, 1, 0},
    // The lake of cells 2 and 3 has its level from all five points; the
    // holes east of it join the surface, the hole west of the ground
    // cell does not: it is not connected to water. One row has at most two
    // neighbours a cell, so no hole is ever filled.
    {"flattening reaches only the holes connected to water", {0, 0, 6.5, 0.5}, 1.0, {{1, 0, 103}},
     {{1.6, 0, 101.0}, {1.7, 0, 101.2}, {2.6, 0, 101.2}, {2.7, 0, 101.4}, {2.8, 0, 101.5}}, true, 7, 1,
     {{0, 0, kNaN, false},
      {1, 0, 103.0, false},
      {2, 0, f32(101.2), true},
      {3, 0, f32(101.4), true},
      {4, 0, kNaN, true},
      {6, 0, kNaN, true}},
     3, 2, 5, f32(101.2)},
    {"flattening without water points leaves every hole empty", {0, 0, 3.5, 0.5}, 1.0, {{0, 0, 200}}, {}, true,
     4, 1, {{1, 0, kNaN, false}, {3, 0, kNaN, false}}, 1, 0, 0},
    {"water cells are not flattened unless asked", {0, 0, 2.5, 0.5}, 1.0, {},
     {{0, 0, 101.0}, {0.1, 0, 101.2}, {1, 0, 100.0}, {1.1, 0, 100.2}}, false, 3, 1,
     {{0, 0, f32(101.2), true}, {1, 0, f32(100.2), true}, {2, 0, kNaN, false}}, 2, 2, 0},
    {"a frame of more cells than the cap is refused", {0, 0, 1e6, 1e6}, 0.1, {{1, 1, 1}}, {}, true, 0, 0, {}, 0, 0,
     0, kNaN, true},
    {"a frame whose cell count overflows 32 bits is refused", {0, 0, 1e12, 1e3}, 1.0, {}, {}, false, 0, 0, {}, 0, 0,
     0, kNaN, true},
    {"an inverted or NaN frame has no cells", {5, 0, 0, 5}, 1.0, {{1, 1, 1}}, {}, false, 0, 0, {}, 0, 0, 0},
    {"a NaN frame has no cells", {0, 0, kNaN, 5}, 1.0, {{1, 1, 1}}, {}, false, 0, 0, {}, 0, 0, 0},
    // Binned by the squares north-east of the nodes, every node would sit
    // (0.3 + 0.1) * 0.5 m / 2 = 10 cm high.
    {"a tilted plane sampled densely lies on the plane at every node", kTiltedFrame, 0.5,
     sampled(kTilted, kTiltedFrame, 0.5, 10), {}, false, 41, 25, {}, 41 * 25, 0, 0, kNaN, false, kTilted},
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
  if (std::isnan(k.plane.c)) return;
  const HeightGrid& h = g.heights;
  for (std::int32_t r = 0; r < h.ny; ++r)
    for (std::int32_t c = 0; c < h.nx; ++c) {
      if (std::isnan(h.at(c, r))) continue;
      ASSERT_NEAR(h.at(c, r), k.plane.at(h.x0 + c * h.step, h.y0 + r * h.step), kOnPlane) << "node " << c << "," << r;
    }
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
      const double px = x, py = y;
      if (x >= 85) water.push_back({px, py, 190.0}), water.push_back({px + 0.1, py + 0.1, 190.0});
      else ground.push_back({px, py, z});
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
