#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

#include "tests/geodata/ogr_oracle.h"
#include "tests/geodata/sample_files.h"
#include "tests/terrain/grid_files.h"

namespace kl::terrain {
namespace {

using testing::ScratchFolder;
using testing::smoothSheet;

int runTool(const std::string& arguments) {
  const int status = std::system((std::string(KL_CONTOURS_TOOL) + " " + arguments + " 2>/dev/null").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ContourTool, GeoJsonLinesCarryLevelAndIndexDxfPolylinesSitAtTheirLevelWithLabels) {
  ScratchFolder folder;
  const auto sheet = folder.write("smooth.asc", smoothSheet());
  const auto geojson = folder.path() / "lines.geojson", dxf = folder.path() / "lines.dxf";
  ASSERT_EQ(runTool("'" + sheet.string() + "' --interval 0,5 --out '" + geojson.string() + "'"), 0);
  const auto collection = nlohmann::json::parse(geo::testing::readWholeFile(geojson));
  ASSERT_GE(collection["features"].size(), 60u);
  int indexContours = 0;
  for (const auto& feature : collection["features"]) {
    EXPECT_EQ(feature["geometry"]["type"], "LineString");
    const double level = feature["properties"]["level"];
    const bool index = feature["properties"]["index"];
    EXPECT_EQ(index, std::fmod(level, 2.5) == 0.0) << level;
    indexContours += index;
  }
  EXPECT_GE(indexContours, 12);

  ASSERT_EQ(runTool("'" + sheet.string() + "' --interval 1 --smooth --out '" + dxf.string() + "'"), 0);
  const auto json = folder.path() / "lines.json";
  ASSERT_EQ(geo::testing::runGdalCommand("ogr2ogr -f GeoJSON '" + json.string() + "' '" + dxf.string() + "' 2>/dev/null"), 0);
  int lines = 0, labels = 0;
  const auto drawing = nlohmann::json::parse(geo::testing::readWholeFile(json));
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
    {"zero_interval", smoothSheet(), "--interval 0 --out {out}", 2},
    {"unreadable_interval", smoothSheet(), "--interval abc --out {out}", 2},
    {"unknown_extension", smoothSheet(), "--interval 1 --out {out}.shp", 2},
    {"folder_missing", smoothSheet(), "--interval 1 --out {out}/none/lines.dxf", 3},
};

class ContourToolRefusal : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(ContourToolRefusal, ExitsWithItsCodeAndWritesNothing) {
  const RefusalCase& c = GetParam();
  ScratchFolder folder;
  const auto sheet = folder.write("sheet.asc", c.sheet);
  std::string arguments = c.arguments;
  const std::string out = (folder.path() / "lines.dxf").string();
  arguments.replace(arguments.find("{out}"), 5, "'" + out + "'");
  EXPECT_EQ(runTool("'" + sheet.string() + "' " + arguments), c.exitCode);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);  // the sheet only
}

INSTANTIATE_TEST_SUITE_P(Inputs, ContourToolRefusal, ::testing::ValuesIn(kRefusals),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace kl::terrain
