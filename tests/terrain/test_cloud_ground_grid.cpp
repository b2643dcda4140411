// The ground grid of the LiDAR points: layout, the clouds that must not break
// it, and where its nodes sit. Upper medians, hole filling, water cells (lone
// water points, water without ground) and the water surface are compared with
// the numpy reference on random clouds.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "terrain/cloud_ground_grid.h"

namespace kl::terrain {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

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
    {"points over half a cell beyond the outer nodes, and NaN coordinates or heights, are left out",
     {0, 0, 0.5, 0.5}, 1.0,
     {{0.2, 0.2, 100.0}, {-0.6, 0.2, 500.0}, {0.2, 0.5, 500.0}, {kNaN, 0.2, 500.0}, {0.3, 0.3, kNaN},
      {0.3, 0.3, std::numeric_limits<double>::infinity()}},
     {}, false, 1, 1, {{0, 0, 100.0}}, 1, 0, 0},
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

TEST(CloudGround, CellsAndCounters) {
  for (const GridCase& k : kCases) {
    SCOPED_TRACE(k.what);
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
    if (std::isnan(k.plane.c)) continue;
    const HeightGrid& h = g.heights;
    for (std::int32_t r = 0; r < h.ny; ++r)
      for (std::int32_t c = 0; c < h.nx; ++c) {
        if (std::isnan(h.at(c, r))) continue;
        ASSERT_NEAR(h.at(c, r), k.plane.at(h.x0 + c * h.step, h.y0 + r * h.step), kOnPlane) << "node " << c << "," << r;
      }
  }
}

}  // namespace
}  // namespace kl::terrain
