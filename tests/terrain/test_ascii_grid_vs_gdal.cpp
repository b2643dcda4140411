#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "terrain/ascii_grid_reader.h"
#include "terrain/ascii_grid_sampler.h"
#include "geodata/coordinate_text.h"
#include "tests/geodata/ogr_oracle.h"
#include "tests/geodata/sample_files.h"
#include "tests/support/c_number.h"
#include "tests/terrain/grid_files.h"
#include "tools/geoportal/elevation_sheets.h"

namespace kl::terrain {
namespace {

using geo::testing::runGdalCommand;
using testing::gridSample;
using testing::ScratchFolder;

struct XyzPoint {
  double x, y, z;
};

// GDAL's XYZ dump: one "x y z" line a cell, the northern row first.
std::vector<XyzPoint> gdalXyz(const std::string& raster, const ScratchFolder& folder) {
  const auto out = folder.path() / "oracle.xyz";
  if (runGdalCommand("gdal_translate -q -of XYZ -ot Float64 '" + raster + "' '" + out.string() + "'") != 0) return {};
  std::vector<double> numbers;
  geo::readNumbers(geo::testing::readWholeFile(out), numbers);
  std::vector<XyzPoint> points;
  for (std::size_t i = 0; i + 3 <= numbers.size(); i += 3) points.push_back({numbers[i], numbers[i + 1], numbers[i + 2]});
  return points;
}

// Sheets GDAL 3.6 reads whole; it stores their values as Float32, hence the
// relative tolerance of a float's precision.
void expectAsGdalReadsIt(const std::string& path, const ScratchFolder& folder) {
  const auto result = readAsciiGrid(path);
  ASSERT_TRUE(result.ok) << result.message;
  EXPECT_TRUE(result.warnings.empty());
  const AsciiGrid& g = result.grid;
  const auto oracle = gdalXyz(path, folder);
  ASSERT_EQ(oracle.size(), g.heights.size());
  for (std::size_t i = 0; i < oracle.size(); ++i) {
    const auto col = static_cast<double>(i % static_cast<std::size_t>(g.ncols));
    const auto row = static_cast<double>(i / static_cast<std::size_t>(g.ncols));
    ASSERT_DOUBLE_EQ(oracle[i].x, g.cornerX + (col + 0.5) * g.cellSize) << path << " " << i;
    ASSERT_DOUBLE_EQ(oracle[i].y, g.cornerY + (g.nrows - row - 0.5) * g.cellSize) << path << " " << i;
    ASSERT_NEAR(oracle[i].z, g.heights[i], 1e-7 * std::max(1.0, std::abs(g.heights[i]))) << path << " " << i;
  }
}

class SampleSheetAsGdalReadsIt : public ::testing::TestWithParam<const char*> {};

TEST_P(SampleSheetAsGdalReadsIt, SameHeaderAndValues) {
  ScratchFolder folder;
  expectAsGdalReadsIt(gridSample(GetParam()), folder);
}

// The local geoportal's sheets: a corner header with runs of -9999 and a
// centre header, both with CRLF header lines.
TEST(DemoSheetsAsGdalReadsThem, SameHeaderAndValues) {
  ScratchFolder folder;
  const auto& sheets = geoportal::elevationSheets();
  const std::pair<geoportal::ElevationModelKind, const geoportal::ElevationSheet*> served[] = {
      {geoportal::ElevationModelKind::Terrain, &sheets.front()}, {geoportal::ElevationModelKind::Surface, &sheets.back()}};
  for (const auto& [model, sheet] : served) {
    const std::string name = std::string(geoportal::elevationModelCode(model)) + "_" + sheet->godlo + ".asc";
    expectAsGdalReadsIt(folder.write(name, geoportal::elevationSheetText(model, *sheet)).string(), folder);
  }
}

INSTANTIATE_TEST_SUITE_P(RealSamples, SampleSheetAsGdalReadsIt,
                         ::testing::Values("gdal__pixel_per_line.asc", "gdal__pixel_per_line_comma.asc",
                                           "integrator__tenbytenraster.asc"));

// GDAL 3.6 stops at a "nan" value ("File short"), so these are checked
// against the values their text shows.
TEST(SampleSheetWithNaN, ReadsNaNAsMissingData) {
  const auto nodataNan = readAsciiGrid(gridSample("gdal__nodata_nan.asc"));
  ASSERT_TRUE(nodataNan.ok) << nodataNan.message;
  ASSERT_EQ(nodataNan.grid.heights.size(), 6u);
  EXPECT_TRUE(nodataNan.grid.isNodata(nodataNan.grid.heights[0]));
  EXPECT_EQ(nodataNan.grid.heights[5], 3.0);

  const auto startingNan = readAsciiGrid(gridSample("gdal__starting_with_nan.asc"));
  ASSERT_TRUE(startingNan.ok) << startingNan.message;
  EXPECT_EQ(std::count_if(startingNan.grid.heights.begin(), startingNan.grid.heights.end(),
                          [](double v) { return std::isnan(v); }),
            24);
  EXPECT_EQ(*sampleAsciiGrid(startingNan.grid, 2.5, 2.5), 1.0);
}

TEST(SampleSheetHead, RealSheetCutAfterItsFirstValuesIsRefused) {
  const auto result = readAsciiGrid(gridSample("kartograf__gugik_N-33-69-A-d-3-2.head.xyz"));
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.message.rfind("Arkusz kartograf__gugik_N-33-69-A-d-3-2.head.xyz odrzucony: naglowek zapowiada 5112269 komorek", 0), 0u)
      << result.message;
}

// A smooth surface with a few holes, values on a 1/64 m raster so that
// GDAL's Float32 holds them exactly.
std::string smoothSheet(int ncols, int nrows) {
  std::string text = "ncols " + std::to_string(ncols) + "\nnrows " + std::to_string(nrows) +
                     "\nxllcorner 500000\nyllcorner 250000\ncellsize 2\nnodata_value -9999\n";
  for (int r = 0; r < nrows; ++r) {
    for (int c = 0; c < ncols; ++c) {
      const bool hole = (c == 11 && r == 7) || (c == 30 && r >= 20 && r < 23);
      const double z = 120.0 + 4.0 * std::sin(c / 5.0) + 3.0 * std::cos(r / 4.0) + 0.05 * c * r;
      text += test::cNumber(hole ? -9999.0 : std::round(z * 64.0) / 64.0) + ' ';
    }
    text.push_back('\n');
  }
  return text;
}

// gdalwarp 3.6 interpolates a Float32 sheet in single precision even when
// asked for a Float64 working type, so the shifts are binary fractions of a
// cell: with heights on a 1/64 m raster every weight and product is then
// exact in a float, and the 1e-9 m comparison is fair.
class BilinearSampleAsGdalwarp : public ::testing::TestWithParam<std::pair<double, double>> {};

TEST_P(BilinearSampleAsGdalwarp, AgreesInsideAwayFromHoles) {
  ScratchFolder folder;
  const auto sheet = folder.write("smooth.asc", smoothSheet(40, 30)).string();
  const auto result = readAsciiGrid(sheet);
  ASSERT_TRUE(result.ok) << result.message;
  const AsciiGrid& g = result.grid;
  const auto [shiftX, shiftY] = GetParam();
  const auto text = [](double v) { return test::cNumber(v); };
  const double x0 = g.cornerX + shiftX * g.cellSize;
  const double y0 = g.cornerY + shiftY * g.cellSize;
  const auto warped = (folder.path() / "warped.tif").string();
  ASSERT_EQ(runGdalCommand("gdalwarp -q -r bilinear -ot Float64 -wt Float64 -tr 2 2 -te " + text(x0) + " " + text(y0) +
                           " " + text(x0 + 78.0) + " " + text(y0 + 58.0) + " '" + sheet + "' '" + warped + "'"),
            0);
  const auto oracle = gdalXyz(warped, folder);
  ASSERT_EQ(oracle.size(), 39u * 29u);
  int compared = 0;
  for (const XyzPoint& p : oracle) {
    const double fx = (p.x - g.cornerX) / g.cellSize - 0.5;
    const double fy = (p.y - g.cornerY) / g.cellSize - 0.5;
    if (fx < 1.0 || fy < 1.0 || fx > g.ncols - 2.0 || fy > g.nrows - 2.0) continue;
    const auto c = static_cast<std::int32_t>(fx);
    const auto r = static_cast<std::int32_t>(fy);
    if (g.isNodata(g.at(c, r)) || g.isNodata(g.at(c + 1, r)) || g.isNodata(g.at(c, r + 1)) ||
        g.isNodata(g.at(c + 1, r + 1))) {
      continue;
    }
    const auto ours = sampleAsciiGrid(g, p.x, p.y);
    ASSERT_TRUE(ours.has_value());
    EXPECT_NEAR(*ours, p.z, 1e-9) << p.x << " " << p.y;
    ++compared;
  }
  EXPECT_GT(compared, 900);
}

INSTANTIATE_TEST_SUITE_P(Shifts, BilinearSampleAsGdalwarp,
                         ::testing::Values(std::pair{0.25, 0.75}, std::pair{0.625, 0.125}));

}  // namespace
}  // namespace kl::terrain
