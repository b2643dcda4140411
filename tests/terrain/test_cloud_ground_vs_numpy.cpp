// The ground grid against a numpy reference written straight from the rules
// (a lexsort per cell, the upper median, the filling passes, the flood of
// the water surface) on random clouds with holes, ties and water.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "terrain/cloud_ground_grid.h"

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

template <class T>
void put(std::ofstream& out, T v) {
  out.write(reinterpret_cast<const char*>(&v), sizeof v);
}

template <class T>
T take(std::ifstream& in) {
  T v{};
  in.read(reinterpret_cast<char*>(&v), sizeof v);
  return v;
}

struct Reference {
  bool ok = false;
  std::int64_t nx = 0, ny = 0;
  std::vector<double> heights;
  std::vector<std::uint8_t> water;
  double level = 0;
  std::int64_t valid = 0, waterCells = 0, flattened = 0;
};

Reference reference(const Cloud& c, const std::string& name) {
  const std::string input = ::testing::TempDir() + name + ".in", output = ::testing::TempDir() + name + ".out";
  {
    std::ofstream out(input, std::ios::binary);
    for (double v : {c.frame.minX, c.frame.minY, c.frame.maxX, c.frame.maxY, c.cell}) put(out, v);
    put(out, static_cast<std::uint8_t>(c.flatten));
    put(out, static_cast<std::int64_t>(c.ground.size()));
    put(out, static_cast<std::int64_t>(c.water.size()));
    for (const auto* points : {&c.ground, &c.water})
      for (const CloudXyz& p : *points) put(out, p.x), put(out, p.y), put(out, p.z);
  }
  Reference r;
  const std::string command = KL_PYTHON3 " " KL_GROUND_REFERENCE_SCRIPT " " + input + " " + output;
  if (std::system(command.c_str()) != 0) return r;
  std::ifstream in(output, std::ios::binary);
  r.nx = take<std::int64_t>(in);
  r.ny = take<std::int64_t>(in);
  r.heights.resize(static_cast<std::size_t>(r.nx * r.ny));
  r.water.resize(r.heights.size());
  in.read(reinterpret_cast<char*>(r.heights.data()), static_cast<std::streamsize>(r.heights.size() * sizeof(double)));
  in.read(reinterpret_cast<char*>(r.water.data()), static_cast<std::streamsize>(r.water.size()));
  r.level = take<double>(in);
  r.valid = take<std::int64_t>(in);
  r.waterCells = take<std::int64_t>(in);
  r.flattened = take<std::int64_t>(in);
  r.ok = static_cast<bool>(in);
  std::remove(input.c_str());
  std::remove(output.c_str());
  return r;
}

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
    const Reference ref = reference(c, "kl_ground_" + std::to_string(seed));
    ASSERT_TRUE(ref.ok) << "the numpy reference did not answer";
    ASSERT_EQ(ours.heights.nx, ref.nx);
    ASSERT_EQ(ours.heights.ny, ref.ny);
    std::size_t differ = 0;
    for (std::size_t i = 0; i < ref.heights.size(); ++i) {
      differ += !sameAsFloat(ours.heights.values[i], ref.heights[i]) || ours.water[i] != ref.water[i];
      holes += std::isnan(ref.heights[i]);
    }
    EXPECT_EQ(differ, 0u) << "of " << ref.heights.size() << " cells";
    EXPECT_EQ(ours.validCells, ref.valid);
    EXPECT_EQ(ours.waterCells, ref.waterCells);
    EXPECT_EQ(ours.flattenedCells, ref.flattened);
    EXPECT_TRUE(sameAsFloat(ours.waterLevel, ref.level)) << ours.waterLevel << " vs " << ref.level;
  }
  EXPECT_GT(holes, 0u) << "some cloud should leave a hole the passes cannot close";
}

}  // namespace
}  // namespace kl::terrain
