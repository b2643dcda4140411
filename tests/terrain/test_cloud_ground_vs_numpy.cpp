// The ground grid against a numpy reference written straight from the rules
// (a lexsort per cell, the upper median, the filling passes, the flood of
// the water surface) on random clouds with holes, ties and water.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include <nlohmann/json.hpp>

#include "terrain/cloud_ground_grid.h"
#include "tests/support/script_reference.h"

namespace kl::terrain {
namespace {

struct Cloud {
  geo::Bbox frame;
  double cell = 1.0;
  bool flatten = true;
  std::vector<CloudXyz> ground, water;
};

// Ground on a slope with heights on a centimetre raster (so cells hold
// ties), thin enough that many cells stay empty, a building-sized block
// without points, points just outside the frame, and a pond of water points.
Cloud randomCloud(unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  Cloud c;
  c.cell = seed % 3 == 0 ? 0.5 : 1.0 + seed % 2;
  c.flatten = seed % 4 != 1;
  // The block is wider than twenty passes from each side can close.
  const double w = c.cell * (70 + 60 * unit(random)), h = c.cell * (60 + 50 * unit(random)), block = 46 * c.cell;
  c.frame = {500000.0 + 100 * unit(random), 300000.0, 0, 0};
  c.frame.maxX = c.frame.minX + w;
  c.frame.maxY = c.frame.minY + h;
  const double blockX = c.frame.minX + w * 0.1, blockY = c.frame.minY + h * 0.1;
  const auto count = static_cast<int>(w * h / (c.cell * c.cell) * (0.6 + unit(random)));
  for (int i = 0; i < count; ++i) {
    const double x = c.frame.minX - 1 + (w + 2) * unit(random), y = c.frame.minY - 1 + (h + 2) * unit(random);
    if (x > blockX && x < blockX + block && y > blockY && y < blockY + block) continue;
    const double z = 150 + 0.05 * (x - c.frame.minX) + 2 * unit(random);
    c.ground.push_back({x, y, std::round(z * 100) / 100});
  }
  const double px = c.frame.minX + w * 0.85, py = c.frame.minY + h * 0.7, r = c.cell * (6 + 4 * unit(random));
  for (int i = 0; i < static_cast<int>(r * r * 6 / (c.cell * c.cell)); ++i) {
    const double a = 6.283185307179586 * unit(random), d = r * std::sqrt(unit(random));
    c.water.push_back({px + d * std::cos(a), py + d * std::sin(a), std::round((149.5 + 0.1 * unit(random)) * 100) / 100});
  }
  return c;
}

using nlohmann::json;

json asJson(const std::vector<CloudXyz>& points) {
  json out = json::array();
  for (const CloudXyz& p : points) out.push_back({p.x, p.y, p.z});
  return out;
}

json reference(const Cloud& c) {
  const json request{{"frame", {c.frame.minX, c.frame.minY, c.frame.maxX, c.frame.maxY}}, {"cell", c.cell},
                     {"flatten", c.flatten}, {"ground", asJson(c.ground)}, {"water", asJson(c.water)}};
  return json::parse(test::runScriptReference(KL_PYTHON3 " " KL_GROUND_REFERENCE_SCRIPT, request.dump()), nullptr, false);
}

// The reference writes a height without a value (NaN) as null.
double heightOf(const json& v) { return v.is_null() ? std::nan("") : v.get<double>(); }

bool sameAsFloat(double a, double b) {
  if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
  return static_cast<float>(a) == static_cast<float>(b);
}

TEST(CloudGroundAgainstNumpy, IdenticalGridsOnRandomClouds) {
  std::size_t holes = 0;
  for (unsigned seed = 1; seed <= 8; ++seed) {
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    const Cloud c = randomCloud(seed);
    const CloudGroundGrid ours = buildCloudGroundGrid(c.ground, c.frame, c.cell, c.water, c.flatten);
    const json ref = reference(c);
    ASSERT_TRUE(ref.is_object()) << "the numpy reference did not answer";
    ASSERT_EQ(ours.heights.nx, ref["nx"]);
    ASSERT_EQ(ours.heights.ny, ref["ny"]);
    const json& heights = ref["heights"];
    std::size_t differ = 0;
    for (std::size_t i = 0; i < heights.size(); ++i) {
      differ += !sameAsFloat(ours.heights.values[i], heightOf(heights[i])) || ours.water[i] != ref["water"][i];
      holes += heights[i].is_null();
    }
    EXPECT_EQ(differ, 0u) << "of " << heights.size() << " cells";
    EXPECT_EQ(ours.validCells, ref["valid"]);
    EXPECT_EQ(ours.waterCells, ref["waterCells"]);
    EXPECT_EQ(ours.flattenedCells, ref["flattened"]);
    EXPECT_TRUE(sameAsFloat(ours.waterLevel, heightOf(ref["level"]))) << ours.waterLevel << " vs " << ref["level"];
  }
  EXPECT_GT(holes, 0u) << "some cloud should leave a hole the passes cannot close";
}

}  // namespace
}  // namespace kl::terrain
