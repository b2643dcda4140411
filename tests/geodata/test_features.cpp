// Features as the preview and the output files get them (GeoJSON) and kept
// once when neighbouring answers repeat them.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "geodata/feature_dedup.h"
#include "geodata/geojson.h"
#include "geodata/polish_crs.h"

namespace kl::geo {
namespace {

GisFeature square(double x0, double y0) {
  GisFeature f;
  f.type = DataType::Buildings;
  f.polygons.push_back({{{x0, y0}, {x0 + 10, y0}, {x0 + 10, y0 + 10}, {x0, y0}}, {}});
  f.attributes = {{"_typ", "budynki"}, {"gml_id", "b.1"}};
  return f;
}

// Each feature with the geometry of what it holds and its kind, in WGS 84 or
// in the grid. The streamed text is exactly what a JSON library prints for the
// same collection (its canonical compact form: member order, escapes, number
// text), so readers and earlier outputs see the same bytes.
TEST(GeoJson, GeometryKindsInTheirOrderStreamedInTheCanonicalCompactForm) {
  GisFeature two = square(500000, 500000);
  two.polygons.push_back(square(500100, 500000).polygons[0]);
  two.lines.push_back({{1, 2}, {3, 4}});
  GisFeature lines, point, none;
  lines.type = DataType::UtilityNetworks;
  lines.lines = {{{500000, 500000}, {500001, 500001}}, {{1e-7, -0.0}, {1e21, 5.0}},
                 {{0.1, 0.2}, {2.0 / 3.0, 123456789012.0}}};
  point.type = DataType::Rasters;
  point.hasPoint = true;
  point.point = {500000, 500000};
  none.type = static_cast<DataType>(77);
  GisFeature odd = square(500000.1, 499999.123456789);
  odd.attributes = {{"", "empty key"},
                    {"_kind", "replaced by the kind"},
                    {"_a", "before the kind"},
                    {"a\"quote", "back\\slash \t tab \n line \x01 \x1f control"},
                    {"zolw", "\xc5\xbc\xc3\xb3\xc5\x82w"}};
  const std::vector<GisFeature> features = {square(500000, 500000), two, lines, point, none, odd};
  for (const auto coordinates : {GeoJsonCoordinates::Pl1992, GeoJsonCoordinates::Wgs84}) {
    std::ostringstream out;
    writeGeoJson(out, features, coordinates);
    EXPECT_EQ(out.str(), toGeoJson(features, coordinates).dump());
    EXPECT_EQ(nlohmann::json::parse(out.str()).dump(), out.str());
  }
  const nlohmann::json j = toGeoJson(features);
  const auto& f = j["features"];
  EXPECT_EQ(f[0]["properties"], (nlohmann::json{{"_kind", "budynek"}, {"_typ", "budynki"}, {"gml_id", "b.1"}}));
  const LatLon g = pl1992ToWgs84(500000, 500000);
  EXPECT_EQ(f[0]["geometry"]["coordinates"][0][0], (nlohmann::json{g.lon, g.lat}));
  EXPECT_EQ(f[1]["geometry"]["coordinates"].size(), 2u);
  const std::pair<const char*, const char*> kinds[] = {
      {"Polygon", "budynek"}, {"MultiPolygon", "budynek"}, {"MultiLineString", "gesut"}, {"Point", "rastr"}};
  for (std::size_t i = 0; i < std::size(kinds); ++i) {
    EXPECT_EQ(f[i]["geometry"]["type"], kinds[i].first);
    EXPECT_EQ(f[i]["properties"]["_kind"], kinds[i].second);
  }
  EXPECT_FALSE(f[4].contains("geometry"));
  EXPECT_EQ(f[4]["properties"]["_kind"], "inne");
  EXPECT_EQ(f[5]["properties"]["_kind"], "budynek");
  EXPECT_EQ(f[5]["properties"].size(), 5u);
  const nlohmann::json grid = toGeoJson({square(500000, 500000)}, GeoJsonCoordinates::Pl1992);
  EXPECT_EQ(grid["crs"]["properties"]["name"], "urn:ogc:def:crs:EPSG::2180");
  EXPECT_EQ(grid["features"][0]["geometry"]["coordinates"][0][1], (nlohmann::json{500010.0, 500000.0}));
}

GisFeature feature(const std::string& id, double x, const std::string& typ = "budynki") {
  GisFeature f;
  f.polygons.push_back({{{x, 0}, {x + 1, 0}, {x + 1, 1}, {x, 0}}, {}});
  f.attributes["_typ"] = typ;
  if (!id.empty()) f.attributes["gml_id"] = id;
  return f;
}

// The feature with one change made to it.
GisFeature with(GisFeature f, const std::function<void(GisFeature&)>& change) {
  change(f);
  return f;
}

struct DedupCase {
  const char* what;
  std::vector<std::vector<GisFeature>> answers;
  std::size_t kept;
};

TEST(FeatureDedup, KeepsEachFeatureOnceAndTheFirstCopyInItsPlace) {
  const DedupCase rows[] = {
      {"same id, two tiles", {{feature("b.1", 0)}, {feature("b.1", 0)}}, 1},
      {"new id with every answer", {{feature("budynki.fid--d0b-6d77", 0)}, {feature("budynki.fid--d0b-6d76", 0)}}, 1},
      {"a stable id on two distinct features", {{feature("b.1", 0)}, {feature("b.1", 5)}}, 2},
      {"one answer with one content twice", {{feature("a", 0), feature("b", 0)}, {feature("c", 0), feature("d", 0)}}, 2},
      {"no id, same geometry", {{feature("", 0)}, {feature("", 0)}}, 1},
      {"no id, moved", {{feature("", 0)}, {feature("", 0.5)}}, 2},
      {"below a millimetre apart", {{feature("", 0)}, {feature("", 0.0001)}}, 1},
      {"other attributes", {{feature("", 0)}, {with(feature("", 0), [](GisFeature& f) { f.attributes["RODZAJ"] = "m"; })}}, 2},
      {"same id in another layer", {{feature("1", 0, "budynki")}, {feature("1", 0, "dzialki")}}, 2},
      {"a hole more", {{feature("", 0)}, {with(feature("", 0), [](GisFeature& f) {
                          f.polygons[0].holes.push_back({{0.2, 0.2}, {0.4, 0.2}, {0.4, 0.4}, {0.2, 0.2}});
                        })}}, 2},
      {"a point more", {{feature("", 0)}, {with(feature("", 0), [](GisFeature& f) { f.hasPoint = true; })}}, 2}};
  for (const DedupCase& r : rows) EXPECT_EQ(deduplicateAnswers(r.answers).size(), r.kept) << r.what;
  const auto kept = deduplicateAnswers({{feature("b.1", 0), feature("b.2", 5)}, {feature("x.9", 0)}});
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(kept[0].attributes.at("gml_id"), "b.1");
  EXPECT_EQ(kept[1].attributes.at("gml_id"), "b.2");
}

}  // namespace
}  // namespace kl::geo
