// The real sample documents read by GDAL and by the parser give the same
// features and the same PL-1992 coordinates; the GML tool end to end.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "geodata/geojson.h"
#include "geodata/gml_parser.h"
#include "tests/geodata/ogr_oracle.h"
#include "tests/geodata/sample_files.h"
#include "tests/support/command_output.h"
#include "tests/support/scratch_folder.h"

namespace kl::geo {
namespace {

using nlohmann::json;

// Every position of a GeoJSON geometry in order (rings and parts flattened).
void flatten(const json& coordinates, std::vector<Point2d>& out) {
  if (!coordinates.is_array() || coordinates.empty()) return;
  if (coordinates[0].is_number()) {
    out.push_back({coordinates[0].get<double>(), coordinates[1].get<double>()});
    return;
  }
  for (const json& c : coordinates) flatten(c, out);
}

// A document naming its system in one place and form, with one point on the
// site in Boleslawiec written in the order the name implies.
std::string srsNameDocument(const std::string& envelopeSrs, const std::string& geometrySrs, const std::string& pos) {
  return R"(<?xml version="1.0" encoding="UTF-8"?>
<wfs:FeatureCollection xmlns:wfs="http://www.opengis.net/wfs/2.0" xmlns:gml="http://www.opengis.net/gml/3.2" xmlns:ms="urn:x">
<wfs:boundedBy><gml:Envelope srsName=")" + envelopeSrs + "\"><gml:lowerCorner>" + pos +
         "</gml:lowerCorner><gml:upperCorner>" + pos + R"(</gml:upperCorner></gml:Envelope></wfs:boundedBy>
<wfs:member><ms:b gml:id="b.1"><ms:g><gml:Point gml:id="p.1")" +
         (geometrySrs.empty() ? "" : " srsName=\"" + geometrySrs + "\"") + "><gml:pos>" + pos +
         "</gml:pos></gml:Point></ms:g><ms:NR>1</ms:NR></ms:b></wfs:member></wfs:FeatureCollection>\n";
}

// The real samples, and the places and forms a system's name takes; a machine
// without ogr2ogr fails the test rather than skips it.
TEST(GmlAgainstGdal, SameFeaturesAndCoordinates) {
  // The lon/lat trap document is left out: it breaks its own declared axis
  // order on purpose (GDAL follows the declaration); the axis rule's swapped
  // geographic row holds its first position. Documents without a feature give
  // GDAL no layer to compare.
  std::vector<std::string> paths;
  for (const auto& entry : std::filesystem::directory_iterator(testing::samplePath(""))) {
    const std::string name = entry.path().filename().string();
    if (entry.is_regular_file() && name.find("lon_lat") == std::string::npos && !name.ends_with("_no_building.xml"))
      paths.push_back(entry.path().string());
  }
  for (const char* name : {"lidar_evrf2007_getfeature_2022.xml", "lidar_evrf2007_getfeature_2023_pl1992.xml",
                           "lidar_kron86_getfeature_2012_formatLAS.xml"})
    paths.push_back(testing::samplePath(std::string("polish_wfs/kartograf__") + name));
  ASSERT_EQ(paths.size(), 18u);
  const kl::test::ScratchFolder folder("kl_srs");
  const std::string urn = "urn:ogc:def:crs:EPSG::2180", northFirst = "382700 260500", eastFirst = "260500 382700";
  const std::string forms[][3] = {{urn, "", northFirst},
                                  {"EPSG:2180", "", eastFirst},
                                  {"EPSG:2180", "EPSG:2180", eastFirst},
                                  {"EPSG:2180", "http://www.opengis.net/gml/srs/epsg.xml#2180", eastFirst},
                                  {"EPSG:2180", urn, northFirst}};  // the geometry's name beats the envelope's
  for (const auto& [envelope, geometry, pos] : forms)
    paths.push_back(folder.write("b" + std::to_string(paths.size()) + ".gml", srsNameDocument(envelope, geometry, pos)));

  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    const auto ours = GmlParser::parseFeatureCollection(testing::readWholeFile(path), DataType::Buildings);
    const auto layers = testing::ogrLayers(path);
    ASSERT_FALSE(layers.empty()) << "no layer from ogrinfo: is gdal-bin installed? this oracle must run";
    std::size_t gdalCount = 0;
    double worst = 0.0;
    for (const std::string& layer : layers) {
      const auto collection = testing::ogrLayerAsGeoJson(path, layer);
      ASSERT_TRUE(collection) << layer;
      std::vector<const GisFeature*> mine;
      for (const GisFeature& f : ours)
        if (f.attributes.at("_typ") == layer) mine.push_back(&f);
      std::size_t index = 0;
      for (const json& feature : collection->at("features")) {
        if (!feature.contains("geometry") || feature["geometry"].is_null()) continue;
        ++gdalCount;
        ASSERT_LT(index, mine.size()) << layer;
        const GisFeature& f = *mine[index++];
        if (feature["properties"].contains("gml_id")) {
          EXPECT_EQ(f.attributes.at("gml_id"), feature["properties"]["gml_id"].get<std::string>());
        }
        // Our positions as the grid GeoJSON writes them, every one as read.
        std::vector<Point2d> theirs, our;
        flatten(feature["geometry"]["coordinates"], theirs);
        flatten(toGeoJson({f}, GeoJsonCoordinates::Pl1992)["features"][0]["geometry"]["coordinates"], our);
        ASSERT_EQ(our.size(), theirs.size()) << layer << " feature " << index;
        for (std::size_t i = 0; i < our.size(); ++i)
          worst = std::max(worst, std::hypot(our[i].x - theirs[i].x, our[i].y - theirs[i].y));
      }
      EXPECT_EQ(index, mine.size()) << layer;
    }
    EXPECT_EQ(ours.size(), gdalCount);
    EXPECT_LT(worst, 1e-3);
  }
}

// A document cut short past the first chunk has its first features written
// before the cut shows: the collection stays unclosed, so no reader takes it
// for a complete one; nor is an HTML page or an exception report a collection.
TEST(GmlTool, PrintsPl1992GeoJsonAndCountOrFailsWithoutACollection) {
  const test::ScratchFolder dir;
  std::string cut = "<wfs:FeatureCollection xmlns:wfs=\"w\" xmlns:gml=\"g\" srsName=\"EPSG:2180\">";
  for (int i = 0; cut.size() < 3'000'000; ++i)
    cut += "<wfs:member><b gml:id=\"b." + std::to_string(i) + "\"><gml:Point><gml:pos>500000 600000</gml:pos>"
           "</gml:Point></b></wfs:member>";
  const struct {
    std::string path;
    std::size_t features;  // none: a failure
    const char* said;      // on standard error, in part
  } rows[] = {
      {std::string(KL_SAMPLES_DIR) + "/gml/egibplb__warszawa_gml_multiple_polygons.xml", 10, "Obiekty: 10\n"},
      {dir.write("maintenance.html", "<!DOCTYPE html><html><body><p>Przerwa techniczna</p></body></html>"), 0, ""},
      {dir.write("report.xml", "<?xml version=\"1.0\"?><ows:ExceptionReport xmlns:ows=\"http://www.opengis.net/ows/1.1\">"
                               "<ows:Exception exceptionCode=\"NoApplicableCode\"/></ows:ExceptionReport>"), 0, ""},
      {dir.write("cut.xml", cut), 0, "Niepoprawny dokument GML"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.path);
    const test::CommandRun run = test::runCommand(KL_GML_TOOL " '" + row.path + "' 2>/dev/null");
    const std::string said = test::runCommand(KL_GML_TOOL " '" + row.path + "' 2>&1 >/dev/null").out;
    EXPECT_NE(said.find(row.said), std::string::npos) << said;
    if (row.features > 0) {
      const json features = json::parse(run.out)["features"];
      ASSERT_EQ(features.size(), row.features);
      // Warsaw centre, PL-1992 easting
      EXPECT_NEAR(features[0]["geometry"]["coordinates"][0][0][0].get<double>(), 638000.0, 5000.0);
    } else {
      EXPECT_NE(run.status, 0);
      EXPECT_FALSE(json::accept(run.out));
    }
  }
}

}  // namespace
}  // namespace kl::geo
