// Every conversion checked against PROJ's cs2cs on random points over Poland
// and a 50 km margin around it, to a micrometre: well below what any survey
// needs, so an inverse that stops iterating early shows here; and the
// coordinate tool on the line forms people paste.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "geodata/polish_crs.h"
#include "tests/geodata/proj_oracle.h"
#include "tests/support/command_output.h"

namespace kl::geo {
namespace {

// In the axis order of the EPSG definitions: latitude or northing first.
using Pair = std::pair<double, double>;
constexpr int kGeographic = 4326;

Pair ours(int from, int to, Pair p) {
  if (from == to) return p;
  Point2d grid;
  if (from == kGeographic) {
    grid = to == kEpsgPl1992 ? wgs84ToPl1992(p.first, p.second) : wgs84ToPl2000(p.first, p.second, to);
  } else if (to == kGeographic) {
    const LatLon g = from == kEpsgPl1992 ? pl1992ToWgs84(p.second, p.first) : pl2000ToWgs84(p.second, p.first, from);
    return {g.lat, g.lon};
  } else {
    grid = from == kEpsgPl1992 ? pl1992ToPl2000(p.second, p.first, to) : pl2000ToPl1992(p.second, p.first, from);
  }
  return {grid.y, grid.x};
}

double metresApart(int system, Pair a, Pair b) {
  if (system != kGeographic) return std::hypot(a.first - b.first, a.second - b.second);
  constexpr double kMetresPerDegree = 111320.0;
  return std::hypot((a.first - b.first) * kMetresPerDegree,
                    (a.second - b.second) * kMetresPerDegree * std::cos(a.first * M_PI / 180));
}

// cs2cs missing fails the test rather than skipping it: the oracle must run.
TEST(PolishCrsAgainstProj, EveryConversionAgreesWithinAMicrometre) {
  std::vector<std::pair<int, int>> conversions;
  for (int grid : {2180, 2176, 2177, 2178, 2179}) conversions.insert(conversions.end(), {{4326, grid}, {grid, 4326}});
  for (int zone : {2176, 2177, 2178, 2179}) conversions.insert(conversions.end(), {{2180, zone}, {zone, 2180}});
  for (const auto& [from, to] : conversions) {
    std::mt19937_64 rng(static_cast<unsigned>(from * 7 + to));
    std::uniform_real_distribution<double> lat(48.55, 55.3), lon(13.35, 24.9);
    std::vector<Pair> input;
    for (int i = 0; i < 10000; ++i) input.push_back(ours(kGeographic, from, {lat(rng), lon(rng)}));
    const auto proj = testing::runCs2cs("EPSG:" + std::to_string(from), "EPSG:" + std::to_string(to), input);
    ASSERT_TRUE(proj) << "cs2cs (proj-bin) is not installed";
    double worst = 0.0;
    for (std::size_t i = 0; i < input.size(); ++i)
      worst = std::max(worst, metresApart(to, ours(from, to, input[i]), (*proj)[i]));
    EXPECT_LT(worst, 1e-6) << from << " -> " << to;
  }
}

TEST(CoordsTool, ReadsTheLineFormsOfSpreadsheetsAndWindowsFilesAndMarksBadLines) {
  // Warsaw in PL-2000 zone 7, easting first, as cs2cs gives it (northing first); an unknown code refused.
  const struct {
    const char *line, *expected, *systems = nullptr;
  } cases[] = {
      {"52.2297 21.0122", "7500833.512\t5788456.487\n", "--from 4326 --to EPSG:2178"},
      {"52.1 21.0", "*", "--from 4326 --to 3857"},
      {"52.1 21.0", "52.100\t21.000\n"},
      {"52,1 21,0", "52.100\t21.000\n"},
      {"52,1\\t21,0 x", "52.100\t21.000 x\n"},
      {"52.1,21.0,x", "52.100\t21.000,x\n"},
      {"52.1;21.0", "52.100\t21.000\n"},
      {"52,1;21,0", "52.100\t21.000\n"},
      {"52 ; 21,5", "52.000\t21.500\n"},
      {"52.1 21.0\\r", "52.100\t21.000\n"},
      {"52,1 abc", "*\t*\n"},
      {"52.1 nan", "*\t*\n"},
      {"abc\\n500000 500000", "*\t*\n500000.000\t500000.000\n"},  // a bad line ends nothing
  };
  for (const auto& [line, expected, systems] : cases) {
    SCOPED_TRACE(line);  // as printf reads it
    const test::CommandRun r = test::runCommand("printf '" + std::string(line) + "\\n' | " KL_COORDS_TOOL " " +
                                                (systems ? systems : "--from 2180 --to 2180") + " 2>/dev/null");
    if (std::string(expected) != "*") {
      EXPECT_EQ(r.out, expected);
    }
    EXPECT_EQ(r.status != 0, expected[0] == '*');
  }
}

}  // namespace
}  // namespace kl::geo
