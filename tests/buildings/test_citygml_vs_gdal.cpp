// GDAL's GML driver as an independent reader of the same CityGML sheets: the
// real samples and the demo packages' sheets. Per sheet the buildings it
// lists are the buildings read plus those left out as unusable; every
// footprint's area equals the area of the largest ring GDAL finds at the
// building's lowest height. CityGML 2.0 sheets only.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <locale>
#include <map>
#include <sstream>

#include "buildings/lod1_parser.h"
#include "buildings/lod2_parser.h"
#include "tests/buildings/package_files.h"
#include "tests/geodata/ogr_oracle.h"
#include "tools/geoportal/model_packages.h"

namespace kl::buildings {
namespace {

namespace fs = std::filesystem;
const geo::Bbox kEverywhere{-1e9, -1e9, 1e9, 1e9};

struct Point {
  double x, y, z;
};
using Ring = std::vector<Point>;

// The innermost coordinate lists of a WKT text: every ring of every polygon.
std::vector<Ring> wktRings(const std::string& wkt) {
  std::vector<Ring> rings;
  std::size_t open = 0;
  while ((open = wkt.find('(', open)) != std::string::npos) {
    const std::size_t close = wkt.find(')', open);
    const std::size_t nested = wkt.find('(', open + 1);
    if (nested != std::string::npos && nested < close) {
      open = nested;
      continue;
    }
    Ring ring;
    std::string text = wkt.substr(open + 1, close - open - 1);
    std::replace(text.begin(), text.end(), ',', ' ');
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    Point p{};
    while (in >> p.x >> p.y >> p.z) ring.push_back(p);
    rings.push_back(std::move(ring));
    open = close;
  }
  return rings;
}

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Records of a CSV text; quoted fields may hold commas and line breaks.
std::vector<std::vector<std::string>> csvRecords(const std::string& text) {
  std::vector<std::vector<std::string>> records;
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (char c : text) {
    if (c == '"') {
      quoted = !quoted;
    } else if (c == ',' && !quoted) {
      fields.emplace_back();
    } else if ((c == '\n' || c == '\r') && !quoted) {
      if (fields.size() > 1 || !fields[0].empty()) records.push_back(std::move(fields));
      fields.assign(1, {});
    } else {
      fields.back() += c;
    }
  }
  if (fields.size() > 1 || !fields[0].empty()) records.push_back(std::move(fields));
  return records;
}

// gml_id -> rings, in GDAL's reading of the Building layer.
std::map<std::string, std::vector<Ring>> gdalBuildings(const std::string& sheetPath, std::size_t& count) {
  const std::string csv = sheetPath + ".csv";
  std::remove(csv.c_str());
  geo::testing::runGdalCommand("ogr2ogr --config GML_DOWNLOAD_WFS_SCHEMA NO -oo WRITE_GFS=NO -oo EXPOSE_GML_ID=YES -f CSV -lco GEOMETRY=AS_WKT '" +
                               csv + "' '" + sheetPath + "' Building 2>/dev/null");
  const std::vector<std::vector<std::string>> records = csvRecords(readAll(csv));
  std::map<std::string, std::vector<Ring>> out;
  count = records.empty() ? 0 : records.size() - 1;
  if (records.empty()) return out;
  const std::vector<std::string>& header = records[0];
  const auto column = [&](const char* name) {
    return static_cast<std::size_t>(std::find(header.begin(), header.end(), name) - header.begin());
  };
  const std::size_t id = column("gml_id"), wkt = column("WKT");
  for (std::size_t r = 1; r < records.size(); ++r)
    out[records[r].at(id)] = wkt < records[r].size() ? wktRings(records[r][wkt]) : std::vector<Ring>{};
  std::remove(csv.c_str());
  return out;
}

double area(const Ring& ring) {
  double sum = 0;
  for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) sum += ring[j].x * ring[i].y - ring[i].x * ring[j].y;
  return std::abs(sum) / 2;
}

double area(const std::vector<geo::Point2d>& ring) {
  double sum = 0;
  for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) sum += ring[j].x * ring[i].y - ring[i].x * ring[j].y;
  return std::abs(sum) / 2;
}

double groundArea(const std::vector<Ring>& rings) {
  double zMin = INFINITY;
  for (const Ring& r : rings)
    for (const Point& p : r) zMin = std::min(zMin, p.z);
  double best = 0;
  for (const Ring& r : rings)
    if (std::all_of(r.begin(), r.end(), [&](const Point& p) { return p.z - zMin <= 0.01; })) best = std::max(best, area(r));
  return best;
}

TEST(CityGmlVsGdal, SameBuildingsPerSheetAndFootprintAreasAgree) {
  testing::ScratchDir dir;
  std::vector<std::string> sheets;
  for (const auto& e : fs::directory_iterator(std::string(KL_SAMPLES_DIR) + "/citygml")) sheets.push_back(e.path().string());
  for (const geoportal::ModelSheet& s : geoportal::demoModelPackages().sheets) {
    sheets.push_back(dir.write("lod1_" + s.entry, s.lod1));
    sheets.push_back(dir.write("lod2_" + s.entry, s.lod2));
  }
  std::sort(sheets.begin(), sheets.end());
  std::size_t compared = 0, buildingsSeen = 0, sheetsRead = 0;
  for (const std::string& path : sheets) {
    SCOPED_TRACE(path);
    const std::string text = readAll(path);
    // GDAL 3.6 cannot read CityGML 3.0 solids (gml:Shell); those samples
    // are covered by the parser tests alone.
    if (text.find("http://www.opengis.net/citygml/3.0") != std::string::npos) continue;
    ++sheetsRead;
    std::size_t gdalCount = 0;
    const auto gdal = gdalBuildings(path, gdalCount);
    const auto lod1 = parseLod1Buildings(text, kEverywhere);
    const auto lod2 = parseLod2Buildings(text, kEverywhere);
    EXPECT_EQ(lod1.buildings.size() + static_cast<std::size_t>(lod1.unusable), gdalCount);
    EXPECT_EQ(lod2.buildings.size() + static_cast<std::size_t>(lod2.unusable), gdalCount);
    buildingsSeen += gdalCount;
    for (const Lod1Building& b : lod1.buildings) {
      const auto it = gdal.find(b.id);
      ASSERT_NE(it, gdal.end()) << b.id;
      if (it->second.empty()) continue;  // GDAL keeps no geometry for this form
      const double expected = groundArea(it->second);
      EXPECT_NEAR(area(b.footprint), expected, 1e-6 * expected) << b.id;
      ++compared;
    }
  }
  // Every demo building twice (LOD1 and LOD2 sheets) plus the samples'.
  EXPECT_GE(buildingsSeen, 2u * 166);
  EXPECT_GE(compared, 166u);
  std::printf("GDAL oracle: %zu sheets, %zu buildings, %zu footprint areas compared\n", sheetsRead, buildingsSeen,
              compared);
}

}  // namespace
}  // namespace kl::buildings
