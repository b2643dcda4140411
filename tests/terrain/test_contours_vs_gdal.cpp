#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <map>
#include <nlohmann/json.hpp>
#include <string>

#include "terrain/contour_builder.h"
#include "tests/geodata/ogr_oracle.h"
#include "tests/support/c_number.h"
#include "tests/terrain/grid_files.h"

namespace kl::terrain {
namespace {

using geo::testing::runGdalCommand;
using testing::ScratchFolder;

// A tilted surface with gentle waves: no saddles, so both tracers must draw
// the same lines. Heights sit on a 1/1024 m raster shifted by 1/4096 m, so
// GDAL's Float32 holds them exactly and no node equals a level.
HeightGrid wavySlope() {
  HeightGrid g{500'001.0, 250'001.0, 2.0, 60, 50, {}};
  for (std::int32_t r = 0; r < g.ny; ++r) {
    for (std::int32_t c = 0; c < g.nx; ++c) {
      const double x = c * g.step;
      const double y = r * g.step;
      const double z = 100.0 + 0.3 * x + 0.2 * y + 2.0 * std::sin(x / 17.0) + 1.5 * std::cos(y / 13.0);
      g.values.push_back(std::round(z * 1024.0) / 1024.0 + 1.0 / 4096.0);
    }
  }
  return g;
}

using test::cNumber;

// The grid as an AAIGrid whose cell centres are its nodes, as GDAL takes them.
std::string asAsciiGrid(const HeightGrid& g) {
  std::string text = "ncols " + std::to_string(g.nx) + "\nnrows " + std::to_string(g.ny) + "\nxllcorner " +
                     cNumber(g.x0 - g.step / 2) + "\nyllcorner " + cNumber(g.y0 - g.step / 2) + "\ncellsize " +
                     cNumber(g.step) + "\n";
  for (std::int32_t r = g.ny - 1; r >= 0; --r) {
    for (std::int32_t c = 0; c < g.nx; ++c) text += cNumber(g.at(c, r)) + " ";
    text += "\n";
  }
  return text;
}

TEST(ContoursAsGdalContour, SameLengthPerLevelInsideTheNodes) {
  const HeightGrid grid = wavySlope();
  ScratchFolder folder;
  const auto sheet = folder.write("slope.asc", asAsciiGrid(grid)).string();
  const auto lines = (folder.path() / "contours.geojson").string();
  const auto clipped = (folder.path() / "clipped.geojson").string();
  constexpr double kInterval = 0.5;
  // GDAL carries its lines on to the raster's outer edge, half a cell beyond
  // the outer nodes; GEOS (through ogr2ogr) cuts them back to the nodes.
  const double maxX = grid.x0 + (grid.nx - 1) * grid.step;
  const double maxY = grid.y0 + (grid.ny - 1) * grid.step;
  ASSERT_EQ(runGdalCommand("gdal_contour -q -i 0.5 -a elev -f GeoJSON '" + sheet + "' '" + lines + "'"), 0);
  ASSERT_EQ(runGdalCommand("ogr2ogr -f GeoJSON -explodecollections -clipsrc " + cNumber(grid.x0) + " " +
                           cNumber(grid.y0) + " " + cNumber(maxX) + " " + cNumber(maxY) + " '" + clipped + "' '" +
                           lines + "'"),
            0);
  std::ifstream in(clipped);
  const auto oracle = nlohmann::json::parse(in, nullptr, false);
  ASSERT_FALSE(oracle.is_discarded());

  std::map<long long, double> gdalLength, ourLength;
  for (const auto& feature : oracle["features"]) {
    // Where a line only touches the box, GEOS leaves a point.
    if (!feature["geometry"].is_object() || feature["geometry"]["type"] != "LineString") continue;
    const auto level = std::llround(feature["properties"]["elev"].get<double>() / kInterval);
    const auto& coordinates = feature["geometry"]["coordinates"];
    for (std::size_t i = 1; i < coordinates.size(); ++i) {
      gdalLength[level] += std::hypot(coordinates[i][0].get<double>() - coordinates[i - 1][0].get<double>(),
                                      coordinates[i][1].get<double>() - coordinates[i - 1][1].get<double>());
    }
  }
  const auto ours = ContourBuilder::build(grid, kInterval, {});
  ASSERT_FALSE(ours.truncated);
  for (const auto& contour : ours.contours) {
    for (std::size_t i = 1; i < contour.points.size(); ++i) {
      ourLength[std::llround(contour.level / kInterval)] +=
          std::hypot(contour.points[i].first - contour.points[i - 1].first,
                     contour.points[i].second - contour.points[i - 1].second);
    }
  }
  std::erase_if(gdalLength, [](const auto& level) { return level.second == 0.0; });
  ASSERT_GT(ourLength.size(), 50u);
  ASSERT_EQ(ourLength.size(), gdalLength.size());
  for (const auto& [level, length] : ourLength) {
    EXPECT_NEAR(length, gdalLength[level], 1e-6 * length) << "level " << static_cast<double>(level) * kInterval;
  }
}

}  // namespace
}  // namespace kl::terrain
