// The ground grid of the LiDAR points: layout and the clouds that must not
// break it. Where its nodes sit (each point binned to its nearest node), upper
// medians, hole filling, water cells (lone water points, water without ground)
// and the water surface are compared with the numpy reference on random clouds.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "terrain/cloud_ground_grid.h"

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

}  // namespace
}  // namespace kl::terrain
