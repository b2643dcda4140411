#include "geodata/gml_parser.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>

#include "geodata/geojson.h"
#include "geodata/polish_crs.h"
#include "tests/geodata/sample_files.h"

namespace kl::geo {
namespace {

std::string wfs2(const std::string& members, const std::string& rootSrs = "") {
  return R"(<?xml version="1.0" encoding="UTF-8"?>
<wfs:FeatureCollection xmlns:wfs="http://www.opengis.net/wfs/2.0"
  xmlns:gml="http://www.opengis.net/gml/3.2" xmlns:ms="urn:x")" +
         (rootSrs.empty() ? std::string() : " srsName=\"" + rootSrs + "\"") + ">" + members +
         "</wfs:FeatureCollection>";
}

using testing::readSample;

TEST(GmlParser, Gml2BoundariesGiveTheSamePolygonAsGml3) {
  const std::string gml3 = wfs2(R"(<wfs:member><ms:b><ms:g><gml:Polygon srsName="EPSG:2180">
      <gml:exterior><gml:LinearRing><gml:posList>0 0 10 0 10 10 0 0</gml:posList></gml:LinearRing></gml:exterior>
      <gml:interior><gml:LinearRing><gml:posList>1 1 2 1 2 2 1 1</gml:posList></gml:LinearRing></gml:interior>
      </gml:Polygon></ms:g></ms:b></wfs:member>)");
  const std::string gml2 = R"(<wfs:FeatureCollection xmlns:wfs="http://www.opengis.net/wfs"
      xmlns:gml="http://www.opengis.net/gml" xmlns:ms="urn:x"><gml:featureMember><ms:b fid="b.7"><ms:g>
      <gml:Polygon srsName="EPSG:2180"><gml:outerBoundaryIs><gml:LinearRing>
      <gml:coordinates>0,0 10,0 10,10 0,0</gml:coordinates></gml:LinearRing></gml:outerBoundaryIs>
      <gml:innerBoundaryIs><gml:LinearRing><gml:coordinates decimal="," cs=";" ts="|">1,0;1,0|2,0;1,0|2,0;2,0|1,0;1,0</gml:coordinates>
      </gml:LinearRing></gml:innerBoundaryIs></gml:Polygon></ms:g></ms:b></gml:featureMember></wfs:FeatureCollection>)";
  const auto a = GmlParser::parseFeatureCollection(gml3, DataType::Buildings);
  const auto b = GmlParser::parseFeatureCollection(gml2, DataType::Buildings);
  ASSERT_EQ(a.size(), 1u);
  ASSERT_EQ(b.size(), 1u);
  EXPECT_EQ(a[0].polygons, b[0].polygons);
  ASSERT_EQ(a[0].polygons[0].holes.size(), 1u);
  EXPECT_EQ(b[0].attributes.at("gml_id"), "b.7");
}

TEST(GmlParser, AttributesFollowTheLeafRules) {
  const auto features = GmlParser::parseFeatureCollection(
      wfs2(R"(<wfs:member><ms:dzialki gml:id="a" fid="b">
        <ms:A>1</ms:A><ms:A>2</ms:A><ms:EMPTY></ms:EMPTY><ms:BLANK>   </ms:BLANK>
        <ms:NESTED><ms:X>9</ms:X></ms:NESTED><ms:_typ>override me</ms:_typ>
        <ms:PADDED>
            246901_1.0002
        </ms:PADDED><ms:CD><![CDATA[a<b]]></ms:CD>
        <ms:g><gml:Point><gml:pos>1 2</gml:pos></gml:Point></ms:g></ms:dzialki></wfs:member>)"),
      DataType::Parcels);
  ASSERT_EQ(features.size(), 1u);
  // The last of repeated leaves, trimmed; no empty, nested or geometry leaf;
  // the kind and the identifier from the feature itself.
  EXPECT_EQ(features[0].attributes, (std::map<std::string, std::string>{
                                        {"gml_id", "b"}, {"A", "2"}, {"_typ", "dzialki"}, {"PADDED", "246901_1.0002"},
                                        {"CD", "a<b"}}));
}

TEST(GmlParser, FeaturesWithoutGeometryAreDroppedUnlessAsked) {
  const std::string text = readSample("polish_wfs/kartograf__prg_two_counties.xml");
  EXPECT_TRUE(GmlParser::parseFeatureCollection(text, DataType::Parcels).empty());
  GmlParseOptions keep;
  keep.keepFeaturesWithoutGeometry = true;
  const GmlParseResult r = GmlParser::parse(text, DataType::Parcels, keep);
  ASSERT_EQ(r.features.size(), 2u);
  EXPECT_EQ(r.features[1].attributes.at("JPT_KOD_JE"), "0224");
  EXPECT_EQ(r.documentEpsg, 2180);
}

TEST(GmlParser, SwappedGeographicOrderGivesTheSameBuilding) {
  const auto latLon = GmlParser::parseFeatureCollection(
      readSample("egibplb__epodgik_gml_coordinates_lat_lon_order.xml"), DataType::Buildings);
  const auto lonLat = GmlParser::parseFeatureCollection(
      readSample("egibplb__epodgik_gml_coordinates_lon_lat_order.xml"), DataType::Buildings);
  ASSERT_EQ(latLon.size(), 1u);
  ASSERT_EQ(lonLat.size(), 1u);
  const Ring& a = latLon[0].polygons.at(0).exterior;
  const Ring& b = lonLat[0].polygons.at(0).exterior;
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t i = 0; i < a.size(); ++i) EXPECT_LT(std::hypot(a[i].x - b[i].x, a[i].y - b[i].y), 1e-3);
  // Pruszkow lies west of Warsaw: PL-1992 easting about 620 km.
  EXPECT_NEAR(a[0].x, 620000.0, 15000.0);
}

// A geometry is never shortened to what could be read: it is left out, and
// the warning names its feature.
TEST(GmlParser, BrokenGeometryIsLeftOutWithAWarningNamingTheFeature) {
  const struct {
    const char* what;
    const char* geometry;  // of feature "b.bad", written after a sound one
    std::size_t kept;      // features kept of the two
  } rows[] = {
      {"too large", "<gml:LineString><gml:posList>1 2 3 1e400 5 6</gml:posList></gml:LineString>", 1},
      {"NaN", "<gml:LineString><gml:posList>1 2 NaN 4</gml:posList></gml:LineString>", 1},
      {"pos with one number", "<gml:Point><gml:pos>7</gml:pos></gml:Point>", 1},
      {"GML 2 tuple", "<gml:LineString><gml:coordinates>1,2 3,x</gml:coordinates></gml:LineString>", 1},
      {"one-vertex ring", "<gml:Polygon><gml:exterior><gml:LinearRing><gml:posList>5 5</gml:posList>"
                          "</gml:LinearRing></gml:exterior></gml:Polygon>", 1},
      {"two-vertex closed ring", "<gml:Polygon><gml:exterior><gml:LinearRing><gml:posList>0 0 1 1 0 0</gml:posList>"
                                 "</gml:LinearRing></gml:exterior></gml:Polygon>", 1},
      {"far outside its PL-2000 zone", "<gml:LineString srsName=\"urn:ogc:def:crs:EPSG::2177\"><gml:posList>5569169.66 "
                                       "6573323.09 5569172.63 65732938005.7</gml:posList></gml:LineString>", 1},
      {"one-vertex line", "<gml:LineString><gml:posList>1 2</gml:posList></gml:LineString>", 1},
      {"one of two lines", "<gml:MultiCurve><gml:curveMember><gml:LineString><gml:posList>1 2 3 4</gml:posList>"
                           "</gml:LineString></gml:curveMember><gml:curveMember><gml:LineString><gml:posList>1 2 "
                           "nan 4</gml:posList></gml:LineString></gml:curveMember></gml:MultiCurve>", 2},
  };
  const std::string sound = R"(<gml:LineString srsName="EPSG:2180"><gml:posList>1 2 3 4</gml:posList></gml:LineString>)";
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const GmlParseResult r = GmlParser::parse(
        wfs2("<wfs:member><ms:b gml:id=\"b.ok\"><ms:g>" + sound + "</ms:g></ms:b></wfs:member>" +
             "<wfs:member><ms:b gml:id=\"b.bad\"><ms:g>" + row.geometry + "</ms:g></ms:b></wfs:member>"),
        DataType::Buildings);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.features.size(), row.kept);
    for (const GisFeature& f : r.features)
      for (const Polyline& l : f.lines) EXPECT_EQ(l.size(), 2u);
    ASSERT_EQ(r.warnings.size(), 1u);
    EXPECT_NE(r.warnings[0].find("Obiekt b b.bad: pominieto geometrie"), std::string::npos) << r.warnings[0];
  }
}

// Hostile documents give an empty or small result quickly and never crash
// (run under the sanitizers in the sanitizer build).
std::string oneFeature(const std::string& textValue, const std::string& extraRoot = "",
                       const std::string& posListAttributes = "") {
  return R"(<wfs:FeatureCollection xmlns:wfs="http://www.opengis.net/wfs/2.0" xmlns:gml="http://www.opengis.net/gml/3.2" xmlns:ms="urn:x" )" +
         extraRoot + R"(><wfs:member><ms:b><ms:NAME>)" + textValue +
         R"(</ms:NAME><ms:g><gml:LineString srsName="EPSG:2180"><gml:posList )" +
         posListAttributes +
         R"(>1 2 3 4</gml:posList></gml:LineString></ms:g></ms:b></wfs:member></wfs:FeatureCollection>)";
}

// `levels` times the opening text, a point, then the closing texts.
std::string nested(int levels, const std::string& open, const std::string& close) {
  std::string doc = "<wfs:FeatureCollection xmlns:wfs=\"w\"><wfs:member><b>";
  for (int i = 0; i < levels; ++i) doc += open;
  doc += "<Point><pos>1 2</pos></Point>";
  for (int i = 0; i < levels; ++i) doc += close;
  return doc + "</b></wfs:member></wfs:FeatureCollection>";
}

// Each level is visited once, so even 100 000 levels are refused at once
// instead of being walked once per enclosing member; 20 are a feature's own.
TEST(GmlParserHostile, DeepNestingIsRefusedWithAMessageAndShallowMembersBelongToTheFeature) {
  const struct {
    int levels;
    const char* open;
    const char* close;
  } rows[] = {{30000, "<wfs:member><b>", "</b></wfs:member>"},
              {100000, "<wfs:member><b>", "</b></wfs:member>"},
              {200000, "<n>", "</n>"}};
  for (const auto& row : rows) {
    const GmlParseResult r = GmlParser::parse(nested(row.levels, row.open, row.close), DataType::Buildings);
    EXPECT_EQ(r.status, GmlStatus::TooDeep) << row.levels;
    EXPECT_EQ(r.message, "Dokument GML odrzucony: elementy zagniezdzone glebiej niz 64 poziomow");
    EXPECT_TRUE(r.features.empty());
  }
  const GmlParseResult r = GmlParser::parse(nested(20, "<wfs:member><b>", "</b></wfs:member>"), DataType::Buildings);
  ASSERT_TRUE(r.ok()) << r.message;
  ASSERT_EQ(r.features.size(), 1u);
  EXPECT_TRUE(r.features[0].hasPoint);
}

TEST(GmlParserHostile, ParseStopsWhenTheCallerCancels) {
  int asked = 0;
  GmlParseOptions options;
  options.cancelled = [&] { return ++asked == 2; };
  const std::string two = "<wfs:FeatureCollection xmlns:wfs=\"w\"><wfs:member><b><Point><pos>1 2</pos></Point></b>"
                          "</wfs:member><wfs:member><b><Point><pos>3 4</pos></Point></b></wfs:member></wfs:FeatureCollection>";
  const GmlParseResult r = GmlParser::parse(two, DataType::Buildings, options);
  EXPECT_EQ(r.status, GmlStatus::Cancelled);
  EXPECT_TRUE(r.features.empty());
  EXPECT_EQ(asked, 2);
}

// Values arrive as UTF-8 text whatever the document's encoding, and as
// written: nothing is expanded, fetched or allocated because a value claims it.
TEST(GmlParserHostile, ValuesArriveAsUtf8TextAsWritten) {
  std::string doctype = "<?xml version=\"1.0\"?>\n<!DOCTYPE lolz [\n<!ENTITY lol \"lol\">\n";
  for (int i = 1; i <= 9; ++i) {
    doctype += "<!ENTITY lol" + std::to_string(i) + " \"";
    for (int k = 0; k < 10; ++k) doctype += "&lol" + (i == 1 ? std::string() : std::to_string(i - 1)) + ";";
    doctype += "\">\n";
  }
  const auto declared = [](const char* encoding) {
    return std::string("<?xml version=\"1.0\" encoding=\"") + encoding + "\"?>\n";
  };
  // "Łódź" in UTF-16LE after a byte order mark; the markup is ASCII.
  std::string utf16 = "\xFF\xFE";
  for (char c : oneFeature("@")) utf16 += c == '@' ? std::string("\x41\x01\xF3\x00\x64\x00\x7A\x01", 8) : std::string{c, '\0'};
  const char* const silesia = "Bolesławiec, Śląsk";
  const struct {
    const char* what;
    std::string doc;
    const char* name;
  } rows[] = {
      {"ISO-8859-2", declared("ISO-8859-2") + oneFeature("Boles\xB3" "awiec, \xA6l\xB1sk"), silesia},
      {"windows-1250", declared("windows-1250") + oneFeature("Boles\xB3" "awiec, \x8Cl\xB9sk"), silesia},
      {"UTF-8", declared("UTF-8") + oneFeature(silesia), silesia},
      {"a UTF-8 byte order mark outranks the declaration", "\xEF\xBB\xBF" + declared("ISO-8859-2") + oneFeature(silesia),
       silesia},
      {"UTF-16", utf16, "Łódź"},
      {"invalid UTF-8", oneFeature("ab\xC3\x28\xFF"), "ab\xEF\xBF\xBD(\xEF\xBF\xBD"},
      {"entities nested nine deep", doctype + "]>\n" + oneFeature("&lol9;"), "&lol9;"},
      {"an external entity", "<!DOCTYPE x [<!ENTITY xxe SYSTEM \"file:///etc/passwd\">]>" + oneFeature("&xxe;"), "&xxe;"},
      {"absurd counts and dimension", oneFeature("x", R"(numberMatched="1000000000" numberReturned="1000000000")",
                                                 R"(count="1000000000" srsDimension="1000000000")"), "x"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    for (const GmlParseResult& r : {GmlParser::parse(row.doc, DataType::Buildings), GmlParser::parseOwned(row.doc, DataType::Buildings)}) {
      ASSERT_TRUE(r.ok()) << r.message;
      ASSERT_EQ(r.features.size(), 1u);
      EXPECT_EQ(r.features[0].attributes.at("NAME"), row.name);
      EXPECT_EQ(r.features[0].lines.at(0).size(), 2u);
      EXPECT_NO_THROW((void)toGeoJson(r.features).dump());
    }
  }
}

}  // namespace
}  // namespace kl::geo
