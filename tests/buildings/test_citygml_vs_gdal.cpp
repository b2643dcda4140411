// GDAL's GML driver as an independent reader of the same CityGML sheets: the
// real samples and the demo packages' sheets. Per sheet the buildings it
// lists are the buildings read plus those left out as unusable; every
// footprint's area equals the area of the largest ring GDAL finds at the
// building's lowest height. CityGML 2.0 sheets only.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>

#include "buildings/lod1_parser.h"
#include "buildings/lod2_parser.h"
#include "tests/support/scratch_folder.h"
#include "tests/geodata/ogr_oracle.h"
#include "tests/geodata/sample_files.h"
#include "tools/geoportal/model_packages.h"

namespace kl::buildings {
namespace {

namespace fs = std::filesystem;
const geo::Bbox kEverywhere{-1e9, -1e9, 1e9, 1e9};

using Ring = std::vector<Point3d>;

// gml_id -> rings, in GDAL's reading of the Building layer (its solids and surfaces as
// polygons, which GeoJSON can hold), and how many buildings it lists.
std::map<std::string, std::vector<Ring>> gdalBuildings(const std::string& sheetPath, std::size_t& count) {
  const auto collection = geo::testing::ogrLayerAsGeoJson(sheetPath, "Building", "-oo EXPOSE_GML_ID=YES -nlt MULTIPOLYGON -dim XYZ");
  std::map<std::string, std::vector<Ring>> out;
  count = collection ? collection->at("features").size() : 0;
  if (!collection) return out;
  for (const auto& f : collection->at("features")) {
    std::vector<Ring>& rings = out[f["properties"].value("gml_id", "")];
    if (f["geometry"].is_null()) continue;
    for (const auto& polygon : f["geometry"]["coordinates"])  // a multipolygon, as asked for
      for (const auto& ring : polygon) {
        Ring& r = rings.emplace_back();
        for (const auto& p : ring) r.push_back({p[0], p[1], p.size() > 2 ? p[2].get<double>() : 0.0});
      }
  }
  return out;
}

// The plan area of a ring, GDAL's or a footprint, by the shoelace formula.
template <class P>
double area(const std::vector<P>& ring) {
  double sum = 0;
  for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) sum += ring[j].x * ring[i].y - ring[i].x * ring[j].y;
  return std::abs(sum) / 2;
}

double groundArea(const std::vector<Ring>& rings) {
  double zMin = INFINITY;
  for (const Ring& r : rings)
    for (const Point3d& p : r) zMin = std::min(zMin, p.z);
  double best = 0;
  for (const Ring& r : rings)
    if (std::all_of(r.begin(), r.end(), [&](const Point3d& p) { return p.z - zMin <= 0.01; }))
      best = std::max(best, area(r));
  return best;
}

TEST(CityGmlVsGdal, SameBuildingsPerSheetAndFootprintAreasAgree) {
  kl::test::ScratchFolder dir;
  std::vector<std::string> sheets;
  for (const auto& e : fs::directory_iterator(std::string(KL_SAMPLES_DIR) + "/citygml")) sheets.push_back(e.path().string());
  for (const geoportal::ModelSheet& s : geoportal::demoModelPackages().sheets) {
    sheets.push_back(dir.write("lod1_" + s.entry, s.lod1));
    sheets.push_back(dir.write("lod2_" + s.entry, s.lod2));
  }
  std::sort(sheets.begin(), sheets.end());
  std::size_t compared = 0, buildingsSeen = 0;
  for (const std::string& path : sheets) {
    SCOPED_TRACE(path);
    const std::string text = geo::testing::readWholeFile(path);
    // GDAL 3.6 cannot read CityGML 3.0 solids (gml:Shell); those samples
    // are covered by the parser tests alone.
    if (text.find("http://www.opengis.net/citygml/3.0") != std::string::npos) continue;
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
}

}  // namespace
}  // namespace kl::buildings
