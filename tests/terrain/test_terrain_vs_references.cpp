// The independent references: GDAL for reading and sampling sheets (AAIGrid,
// gdalwarp), tracing contours (gdal_contour) and reading the contour tool's
// drawings; numpy for the ground grid, written straight from the rules (a
// lexsort per cell, the upper median, the filling passes, the flood of the
// water surface) and run on random clouds with holes, ties and water.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "terrain/ascii_grid_reader.h"
#include "terrain/contour_builder.h"
#include "terrain/ascii_grid_sampler.h"
#include "terrain/cloud_ground_grid.h"
#include "geodata/coordinate_text.h"
#include "tests/geodata/ogr_oracle.h"
#include "tests/geodata/sample_files.h"
#include "tests/support/c_number.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/script_reference.h"
#include "tools/geoportal/elevation_sheets.h"

namespace kl::terrain {
namespace {

using geo::testing::runGdalCommand;
using nlohmann::json;
using test::ScratchFolder;

std::string gridSample(const std::string& name) { return std::string(KL_SAMPLES_DIR) + "/grid/" + name; }

// 40 x 30 cells of 2 m: a smooth surface from about 113 to 180 m with a few holes, values
// on a 1/64 m raster so that GDAL's Float32 holds them exactly.
std::string smoothSheet() {
  std::string text = "ncols 40\nnrows 30\nxllcorner 500000\nyllcorner 250000\ncellsize 2\nnodata_value -9999\n";
  for (int r = 0; r < 30; ++r) {
    for (int c = 0; c < 40; ++c) {
      const bool hole = (c == 11 && r == 7) || (c == 30 && r >= 20 && r < 23);
      const double z = 120.0 + 4.0 * std::sin(c / 5.0) + 3.0 * std::cos(r / 4.0) + 0.05 * c * r;
      text += test::cNumber(hole ? -9999.0 : std::round(z * 64.0) / 64.0) + ' ';
    }
    text.push_back('\n');
  }
  return text;
}

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

// Real sheets, and the local geoportal's (a corner header with runs of -9999 and a
// centre header, both with CRLF header lines, values running across read chunks).
TEST(SheetsAsGdalReadsThem, SameHeaderAndValues) {
  ScratchFolder folder;
  std::vector<std::string> paths;
  for (const char* name : {"gdal__pixel_per_line.asc", "gdal__pixel_per_line_comma.asc", "integrator__tenbytenraster.asc"})
    paths.push_back(gridSample(name));
  const auto& sheets = geoportal::elevationSheets();
  const std::pair<geoportal::ElevationModelKind, const geoportal::ElevationSheet*> served[] = {
      {geoportal::ElevationModelKind::Terrain, &sheets.front()}, {geoportal::ElevationModelKind::Surface, &sheets.back()}};
  for (const auto& [model, sheet] : served) {
    const std::string name = std::string(geoportal::elevationModelCode(model)) + "_" + sheet->godlo + ".asc";
    paths.push_back(folder.write(name, geoportal::elevationSheetText(model, *sheet)).string());
  }
  for (const std::string& path : paths) expectAsGdalReadsIt(path, folder);
}

// GDAL 3.6 stops at a "nan" value ("File short"), so these are checked
// against the values their text shows.
TEST(SampleSheetWithNaN, ReadsNaNAsMissingData) {
  const auto nodataNan = readAsciiGrid(gridSample("gdal__nodata_nan.asc")).grid;
  ASSERT_EQ(nodataNan.heights.size(), 6u);
  EXPECT_TRUE(nodataNan.isNodata(nodataNan.heights[0]));
  EXPECT_EQ(nodataNan.heights[5], 3.0);
  const auto startingNan = readAsciiGrid(gridSample("gdal__starting_with_nan.asc")).grid;
  EXPECT_EQ(std::ranges::count_if(startingNan.heights, [](double v) { return std::isnan(v); }), 24);
  EXPECT_EQ(*sampleAsciiGrid(startingNan, 2.5, 2.5), 1.0);
}

// gdalwarp 3.6 interpolates a Float32 sheet in single precision even when
// asked for a Float64 working type, so the shifts are binary fractions of a
// cell: with heights on a 1/64 m raster every weight and product is then
// exact in a float, and the 1e-9 m comparison is fair.
TEST(BilinearSampleAsGdalwarp, AgreesInsideAwayFromHoles) {
  for (const auto& [shiftX, shiftY] : {std::pair{0.25, 0.75}, std::pair{0.625, 0.125}}) {
    SCOPED_TRACE(shiftX);
    ScratchFolder folder;
    const auto sheet = folder.write("smooth.asc", smoothSheet()).string();
    const auto result = readAsciiGrid(sheet);
    ASSERT_TRUE(result.ok) << result.message;
    const AsciiGrid& g = result.grid;
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
}

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

// The grid as an AAIGrid whose cell centres are its nodes, as GDAL takes them.
std::string asAsciiGrid(const HeightGrid& g) {
  std::string text = "ncols " + std::to_string(g.nx) + "\nnrows " + std::to_string(g.ny) + "\nxllcorner " +
                     test::cNumber(g.x0 - g.step / 2) + "\nyllcorner " + test::cNumber(g.y0 - g.step / 2) + "\ncellsize " +
                     test::cNumber(g.step) + "\n";
  for (std::int32_t r = g.ny - 1; r >= 0; --r) {
    for (std::int32_t c = 0; c < g.nx; ++c) text += test::cNumber(g.at(c, r)) + " ";
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
  ASSERT_EQ(runGdalCommand("ogr2ogr -f GeoJSON -explodecollections -clipsrc " + test::cNumber(grid.x0) + " " +
                           test::cNumber(grid.y0) + " " + test::cNumber(maxX) + " " + test::cNumber(maxY) + " '" + clipped + "' '" +
                           lines + "'"),
            0);
  std::ifstream in(clipped);
  const auto oracle = json::parse(in, nullptr, false);
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

int runTool(const std::string& arguments) {
  const int status = std::system((std::string(KL_CONTOURS_TOOL) + " " + arguments + " 2>/dev/null").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ContourTool, GeoJsonLinesCarryLevelAndIndexDxfPolylinesSitAtTheirLevelWithLabels) {
  ScratchFolder folder;
  const auto sheet = folder.write("smooth.asc", smoothSheet());
  const auto geojson = folder.path() / "lines.geojson", dxf = folder.path() / "lines.dxf";
  ASSERT_EQ(runTool("'" + sheet.string() + "' --interval 0,5 --out '" + geojson.string() + "'"), 0);
  const auto collection = json::parse(geo::testing::readWholeFile(geojson));
  ASSERT_GE(collection["features"].size(), 60u);
  // An ordinary new file, as any program makes it, not one private to the user.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  EXPECT_EQ(std::filesystem::status(geojson).permissions(), std::filesystem::perms(0666 & ~mask));
  for (const auto& feature : collection["features"]) {
    EXPECT_EQ(feature["geometry"]["type"], "LineString");
    const double level = feature["properties"]["level"];
    EXPECT_EQ(feature["properties"]["index"], std::fmod(level, 2.5) == 0.0) << level;
  }

  ASSERT_EQ(runTool("'" + sheet.string() + "' --interval 1 --smooth --out '" + dxf.string() + "'"), 0);
  const auto drawingJson = folder.path() / "lines.json";
  ASSERT_EQ(runGdalCommand("ogr2ogr -f GeoJSON '" + drawingJson.string() + "' '" + dxf.string() + "' 2>/dev/null"), 0);
  int lines = 0, labels = 0;
  const auto drawing = json::parse(geo::testing::readWholeFile(drawingJson));
  for (const auto& feature : drawing["features"]) {
    EXPECT_EQ(feature["properties"]["Layer"], "GIS_POZIOMICE_2D");
    if (feature["geometry"]["type"] == "LineString") {
      ++lines;
      const auto& points = feature["geometry"]["coordinates"];
      EXPECT_EQ(points[0][2], std::round(points[0][2].get<double>()));
      EXPECT_EQ(points.back()[2], points[0][2]);
    } else if (!feature["properties"]["Text"].is_null()) {
      ++labels;
      EXPECT_NE(feature["properties"]["Text"].get<std::string>().find(",00"), std::string::npos);
    }
  }
  EXPECT_GE(lines, 30);
  EXPECT_GE(labels, 7);
}

struct RefusalCase {
  const char* name;
  std::string sheet;
  std::string arguments;  // after the sheet; {out} stands for the output path
  int exitCode;
};

const RefusalCase kRefusals[] = {
    {"unknown_header_word", "ncols 2\nnrows 2\nfoo 1\n", "--interval 1 --out {out}", 1},
    {"unreadable_interval", smoothSheet(), "--interval abc --out {out}", 2},
    {"unknown_extension", smoothSheet(), "--interval 1 --out {out}.shp", 2},
    {"folder_missing", smoothSheet(), "--interval 1 --out {out}/none/lines.dxf", 3},
    {"interval_too_fine_for_relief", "ncols 2\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 1\n0 0\n2 2\n",
     "--interval 0,00001 --out {out}", 2},
    {"heights_beyond_any_terrain", "ncols 2\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 1\n1e17 1e17\n1e17 1e17\n",
     "--interval 1 --out {out}", 1},
};

TEST(ContourToolRefusal, ExitsWithItsCodeAndWritesNothing) {
  for (const RefusalCase& c : kRefusals) {
    SCOPED_TRACE(c.name);
    ScratchFolder folder;
    const auto sheet = folder.write("sheet.asc", c.sheet);
    std::string arguments = c.arguments;
    arguments.replace(arguments.find("{out}"), 5, "'" + (folder.path() / "lines.dxf").string() + "'");
    EXPECT_EQ(runTool("'" + sheet.string() + "' " + arguments), c.exitCode);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);  // the sheet only
  }
}

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
