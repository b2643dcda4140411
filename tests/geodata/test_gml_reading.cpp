// Reading WFS answers: the features, attributes and warnings a document
// gives, and the document read member by member giving what the whole
// document gives (the same GeoJSON text, status, message and warnings) for
// every place a chunk can end, every cut, real samples and documents that are
// broken, hostile or not a feature collection at all.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "geodata/geojson.h"
#include "geodata/gml_parser.h"
#include "geodata/gml_stream.h"
#include "tests/geodata/sample_files.h"

namespace kl::geo {
namespace {

using testing::readSample;

const std::string kRoot =
    R"(<wfs:FeatureCollection xmlns:wfs="http://www.opengis.net/wfs/2.0" xmlns:gml="http://www.opengis.net/gml/3.2" )"
    R"(xmlns:ms="urn:x")";

std::string collection(const std::string& members, const std::string& rootAttributes = "") {
  return kRoot + rootAttributes + ">" + members + "</wfs:FeatureCollection>";
}

std::string square(int x, const std::string& srs = "") {
  const std::string a = std::to_string(x), b = std::to_string(x + 10);
  return "<ms:g><gml:Polygon" + (srs.empty() ? "" : " srsName=\"" + srs + "\"") +
         "><gml:exterior><gml:LinearRing><gml:posList>" + a + " 0 " + b + " 0 " + b + " 10 " + a +
         " 0</gml:posList></gml:LinearRing></gml:exterior></gml:Polygon></ms:g>";
}

std::string member(int x, const std::string& srs = "") {
  return "<wfs:member><ms:b gml:id=\"b" + std::to_string(x) + "\">" + square(x, srs) + "</ms:b></wfs:member>";
}

struct Reading {
  GmlParseResult result;
  std::string geoJson;
};

std::string geoJsonOf(const std::vector<GisFeature>& features) {
  std::ostringstream out;
  writeGeoJson(out, features, GeoJsonCoordinates::Pl1992);
  return out.str();
}

Reading whole(const std::string& doc) {
  Reading r{GmlParser::parseOwned(doc, DataType::Buildings), {}};
  r.geoJson = geoJsonOf(r.result.features);
  r.result.features.clear();
  return r;
}

Reading streamed(const std::string& doc, std::size_t chunkBytes) {
  std::istringstream in(doc);
  std::vector<GisFeature> features;
  Reading r{streamGmlFeatures(
                in, DataType::Buildings, [&](GisFeature&& f) { features.push_back(std::move(f)); }, {}, chunkBytes),
            {}};
  EXPECT_TRUE(r.result.features.empty());
  r.geoJson = geoJsonOf(features);
  return r;
}

// Features are compared only for complete readings: a broken document read
// in pieces has handed on the features before the break.
void expectSameReading(const Reading& got, const Reading& want) {
  EXPECT_EQ(got.result.status, want.result.status);
  EXPECT_EQ(got.result.message, want.result.message);
  EXPECT_EQ(got.result.errorOffset, want.result.errorOffset);
  if (!want.result.ok()) return;
  EXPECT_EQ(got.result.documentEpsg, want.result.documentEpsg);
  EXPECT_EQ(got.result.warnings, want.result.warnings);
  EXPECT_EQ(got.geoJson, want.geoJson);
}

TEST(GmlParser, Gml2BoundariesGiveTheSamePolygonAsGml3) {
  const std::string gml3 = collection(R"(<wfs:member><ms:b gml:id="b.7"><ms:g><gml:Polygon srsName="EPSG:2180">
      <gml:exterior><gml:LinearRing><gml:posList>0 0 10 0 10 10 0 0</gml:posList></gml:LinearRing></gml:exterior>
      <gml:interior><gml:LinearRing><gml:posList>1 1 2 1 2 2 1 1</gml:posList></gml:LinearRing></gml:interior>
      </gml:Polygon></ms:g></ms:b></wfs:member>)");
  const std::string gml2 = R"(<wfs:FeatureCollection xmlns:wfs="http://www.opengis.net/wfs"
      xmlns:gml="http://www.opengis.net/gml" xmlns:ms="urn:x"><gml:featureMember><ms:b fid="b.7"><ms:g>
      <gml:Polygon srsName="EPSG:2180"><gml:outerBoundaryIs><gml:LinearRing>
      <gml:coordinates>0,0 10,0 10,10 0,0</gml:coordinates></gml:LinearRing></gml:outerBoundaryIs>
      <gml:innerBoundaryIs><gml:LinearRing><gml:coordinates decimal="," cs=";" ts="|">1,0;1,0|2,0;1,0|2,0;2,0|1,0;1,0</gml:coordinates>
      </gml:LinearRing></gml:innerBoundaryIs></gml:Polygon></ms:g></ms:b></gml:featureMember></wfs:FeatureCollection>)";
  const Reading want = whole(gml3);
  EXPECT_NE(want.geoJson.find("]],[["), std::string::npos) << "the hole, a second ring: " << want.geoJson;
  EXPECT_EQ(whole(gml2).geoJson, want.geoJson);
}

TEST(GmlParser, AttributesFollowTheLeafRules) {
  const auto features = GmlParser::parseFeatureCollection(
      collection(R"(<wfs:member><ms:dzialki gml:id="a" fid="b">
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

// A geometry is never shortened to what could be read: it is left out, and
// the warning names its feature.
TEST(GmlParser, BrokenGeometryIsLeftOutWithAWarningNamingTheFeature) {
  const struct {
    const char* what;
    const char* geometry;  // of feature "b.bad", written after a sound one
    std::size_t kept;      // features kept of the two
  } rows[] = {
      {"NaN", "<gml:LineString><gml:posList>1 2 NaN 4</gml:posList></gml:LineString>", 1},
      {"pos with one number", "<gml:Point><gml:pos>7</gml:pos></gml:Point>", 1},
      {"GML 2 tuple", "<gml:LineString><gml:coordinates>1,2 3,x</gml:coordinates></gml:LineString>", 1},
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
        collection("<wfs:member><ms:b gml:id=\"b.ok\"><ms:g>" + sound + "</ms:g></ms:b></wfs:member>" +
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

// A member holding `levels` times the opening text, then `inner`, then the closing texts.
std::string deep(int levels, const std::string& open = "<n>", const std::string& close = "</n>",
                 const std::string& inner = "") {
  std::string doc = "<wfs:member><ms:b>";
  for (int i = 0; i < levels; ++i) doc += open;
  doc += inner;
  for (int i = 0; i < levels; ++i) doc += close;
  return doc + "</ms:b></wfs:member>";
}

const std::string kPoint = "<gml:Point><gml:pos>1 2</gml:pos></gml:Point>";

TEST(GmlParserHostile, ParseStopsWhenTheCallerCancels) {
  int asked = 0;
  GmlParseOptions options;
  options.cancelled = [&] { return ++asked == 2; };
  const GmlParseResult r = GmlParser::parse(collection(member(0) + member(20)), DataType::Buildings, options);
  EXPECT_EQ(r.status, GmlStatus::Cancelled);
  EXPECT_TRUE(r.features.empty());
  EXPECT_EQ(asked, 2);
}

// Markup that only looks like members, next to real ones of every kind.
const std::string kTricky =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- <wfs:member> in a comment -->\n" + kRoot +
    " srsName=\"EPSG:2180\">\n"
    "<gml:boundedBy><gml:Envelope><gml:lowerCorner>0 0</gml:lowerCorner></gml:Envelope></gml:boundedBy>\n"
    "<wfs:member><!-- </wfs:member> --><ms:b gml:id=\"b.1\" note='a > b &lt; c'><ms:NAME><![CDATA[<wfs:member>"
    "</wfs:member>]]></ms:NAME>" + square(0) + "</ms:b></wfs:member>\n"
    "<?pi <wfs:member> ?><wfs:member/>\n"
    "<wfs:member><ms:b gml:id=\"b.2\"><ms:b><ms:b>inner</ms:b></ms:b><wfs:member><x/></wfs:member>" + square(20) +
    "</ms:b></wfs:member>\n"
    "<wfs:member><wfs:FeatureCollection><wfs:member><ms:c gml:id=\"c.1\">" + square(40, "EPSG:2177") +
    "</ms:c></wfs:member></wfs:FeatureCollection></wfs:member>\n"
    "<gml:featureMembers srsDimension=\"2\"><ms:d gml:id=\"d.1\"><ms:g><gml:Point><gml:pos>1 2</gml:pos></gml:Point>"
    "</ms:g></ms:d><ms:d gml:id=\"d.2\"><ms:g><gml:LineString><gml:posList>1 2 x 4</gml:posList></gml:LineString>"
    "</ms:g></ms:d><ms:d gml:id=\"d.3\"/></gml:featureMembers>\n"
    "<gml:featureMember><ms:e fid=\"e.1\"><ms:g>" + kPoint + "</ms:g></ms:e></gml:featureMember>\n"
    "</wfs:FeatureCollection>\n";

TEST(GmlStream, EveryChunkBoundaryAndEveryCutGiveTheWholeReading) {
  const Reading want = whole(kTricky);
  ASSERT_TRUE(want.result.ok()) << want.result.message;
  ASSERT_EQ(want.result.warnings.size(), 1u);
  for (std::size_t n = 1; n <= kTricky.size(); ++n) {
    SCOPED_TRACE(n);
    expectSameReading(streamed(kTricky, n), want);
    const std::string cut = kTricky.substr(0, n - 1);
    const Reading wantCut = whole(cut);
    for (const std::size_t chunk : {std::size_t{16}, std::size_t{4096}}) {
      const Reading got = streamed(cut, chunk);
      if (wantCut.result.ok()) {
        // Only a cut after the root's end leaves a whole document.
        expectSameReading(got, wantCut);
      } else {
        EXPECT_EQ(wantCut.geoJson, geoJsonOf({})) << "a cut document read whole gives no feature";
        EXPECT_EQ(got.result.status, wantCut.result.status) << chunk;
        EXPECT_EQ(got.result.message, wantCut.result.message) << chunk;
      }
    }
  }
}

// A feature named by `name`, its line after it.
std::string named(const std::string& name, const std::string& rootAttributes = "",
                  const std::string& posListAttributes = "") {
  return collection("<wfs:member><ms:b><ms:NAME>" + name + R"(</ms:NAME><ms:g><gml:LineString srsName="EPSG:2180">)" +
                        "<gml:posList " + posListAttributes + ">1 2 3 4</gml:posList></gml:LineString></ms:g></ms:b>"
                        "</wfs:member>", " " + rootAttributes);
}

std::string declared(const char* encoding) { return std::string("<?xml version=\"1.0\" encoding=\"") + encoding + "\"?>\n"; }

struct Odd {
  const char* name;
  std::string doc;
  std::optional<GmlStatus> status = {};  // what the document read whole gives, when the row names it
  std::size_t features = 0;
  std::string message = {};  // what the refusal says, in part
  std::string value = {};    // the NAME of the one feature, a two-point line, when given
};

// What each kind of document gives, features or a named refusal, and the
// streamed reading the same, the faults that come after features were handed
// on included: it reports them itself, never as a complete answer. Values
// arrive as UTF-8 text whatever the document's encoding, and as written:
// nothing is expanded, fetched or allocated because a value claims it.
TEST(GmlStream, OddDocumentsReadAsWhole) {
  // 0x98 is the one byte windows-1250 leaves undefined.
  const std::string body = "<a><wfs:member><b><c>\x98</c></b></wfs:member></a>";
  const std::string lolz = "<?xml version=\"1.0\"?>\n<!DOCTYPE x [<!ENTITY a \"lol\"><!ENTITY b \"&a;&a;&a;\">]>\n";
  // "Łódź" in UTF-16LE after a byte order mark; the markup is ASCII.
  std::string utf16 = "\xFF\xFE";
  for (char c : named("@")) utf16 += c == '@' ? std::string("\x41\x01\xF3\x00\x64\x00\x7A\x01", 8) : std::string{c, '\0'};
  const std::string silesia = "Bolesławiec, Śląsk";
  const Odd rows[] = {
      // An odd trailing number is dropped, not the line.
      Odd{"odd count of numbers", collection("<wfs:member><ms:l><ms:g><gml:LineString srsName=\"EPSG:2180\"><gml:posList>"
                                             "1 2 3 4 5</gml:posList></gml:LineString></ms:g></ms:l></wfs:member>"),
          GmlStatus::Ok, 1},
      Odd{"real document without a building", readSample("egibplb__epodgik_gml_no_building.xml"), GmlStatus::Ok},
      // Kept only when asked, as the commune lookup asks.
      Odd{"real counties without geometry", readSample("polish_wfs/kartograf__prg_two_counties.xml"), GmlStatus::Ok},
      Odd{"real exception report", readSample("polish_wfs/kartograf__prg_error_400.xml"), GmlStatus::ExceptionReport, 0,
          "NIEMA"},
      Odd{"not XML at all", "not xml at all", GmlStatus::MalformedXml},
      Odd{"unknown encoding", "<?xml version=\"1.0\" encoding=\"x-nieznane\"?>" + body, GmlStatus::BadEncoding, 0,
          "Nieobslugiwane kodowanie dokumentu GML: x-nieznane"},
      Odd{"a byte the encoding lacks", declared("windows-1250") + body, GmlStatus::BadEncoding},
      Odd{"ISO-8859-2", declared("ISO-8859-2") + named("Boles\xB3" "awiec, \xA6l\xB1sk"), GmlStatus::Ok, 1, "", silesia},
      Odd{"windows-1250", declared("windows-1250") + named("Boles\xB3" "awiec, \x8Cl\xB9sk"), GmlStatus::Ok, 1, "", silesia},
      Odd{"a UTF-8 byte order mark outranks the declaration", "\xEF\xBB\xBF" + declared("ISO-8859-2") + named(silesia),
          GmlStatus::Ok, 1, "", silesia},
      Odd{"UTF-16", utf16, GmlStatus::Ok, 1, "", "Łódź"},
      Odd{"invalid UTF-8", named("ab\xC3\x28\xFF"), GmlStatus::Ok, 1, "", "ab\xEF\xBF\xBD(\xEF\xBF\xBD"},
      Odd{"nested entities", lolz + named("&b;"), GmlStatus::Ok, 1, "", "&b;"},
      Odd{"an external entity", "<!DOCTYPE x [<!ENTITY xxe SYSTEM \"file:///etc/passwd\">]>" + named("&xxe;"),
          GmlStatus::Ok, 1, "", "&xxe;"},
      Odd{"absurd counts and dimension", named("x", R"(numberMatched="1000000000" numberReturned="1000000000")",
                                               R"(count="1000000000" srsDimension="1000000000")"), GmlStatus::Ok, 1, "", "x"},
      Odd{"srsNameOnlyInALaterMember", collection(member(0) + member(20, "EPSG:2177"))},
      Odd{"srsNameInTheFirstMember", collection(member(0, "EPSG:2177") + member(20))},
      // Members are parsed below a root that keeps only what a feature reads from it.
      Odd{"dimensionOnTheRoot", collection("<wfs:member><ms:b><gml:LineString><gml:posList>1 2 3 4 5 6</gml:posList>"
                                           "</gml:LineString></ms:b></wfs:member>",
                                           " xsi:schemaLocation=\"a b\" gml:srsDimension='3' srsName=\"EPSG:2180\"")},
      Odd{"emptySrsNameOnTheRoot", collection(member(0), " srsName=\"\"")},
      Odd{"notACollection", "<ms:b xmlns:ms=\"urn:x\" xmlns:gml=\"g\">" + member(0, "EPSG:2180") + "</ms:b>"},
      // Found in the first chunk's second half, with more to read: the
      // whole document is read from its first byte all the same.
      Odd{"tooDeepBeforeAnyFeature", collection("<!--" + std::string(400, 'x') + "-->" + deep(70) + member(0) +
                                                member(20) + member(40), " srsName=\"EPSG:2180\"")},
      // Each level is visited once, so even 100 000 are refused at once
      // instead of being walked once per enclosing member; 20 are a feature's own.
      Odd{"members nested 100 000 deep", collection(deep(100000, "<wfs:member><b>", "</b></wfs:member>", kPoint)),
          GmlStatus::TooDeep, 0, "Dokument GML odrzucony: elementy zagniezdzone glebiej niz 64 poziomow"},
      Odd{"elements nested 200 000 deep", collection(deep(200000, "<n>", "</n>", kPoint)), GmlStatus::TooDeep},
      Odd{"members nested 20 deep", collection(deep(20, "<wfs:member><b>", "</b></wfs:member>", kPoint)),
          GmlStatus::Ok, 1},
      Odd{"tooDeepAfterAFeature", collection(member(0) + deep(70), " srsName=\"EPSG:2180\"")},
      Odd{"brokenAfterAFeature", collection(member(0) + "<wfs:member><ms:b><ms:x></ms:y></ms:b></wfs:member>",
                                            " srsName=\"EPSG:2180\"")},
      Odd{"wrongEndOfTheRoot", kRoot + " srsName=\"EPSG:2180\">" + member(0) + "</wfs:Other>"},
      Odd{"strayLessThan", collection(member(0) + "< x" + member(20), " srsName=\"EPSG:2180\"")},
  };
  for (const Odd& row : rows) {
    SCOPED_TRACE(row.name);
    const Reading want = whole(row.doc);
    EXPECT_EQ(geoJsonOf(GmlParser::parse(row.doc, DataType::Buildings).features), want.geoJson);
    if (row.status) {
      EXPECT_EQ(want.result.status, *row.status) << want.result.message;
      EXPECT_NE(want.result.message.find(row.message), std::string::npos) << want.result.message;
      const auto features = nlohmann::json::parse(want.geoJson)["features"];
      ASSERT_EQ(features.size(), row.features);
      if (!row.value.empty()) {
        EXPECT_EQ(features[0]["properties"]["NAME"], row.value);
        EXPECT_EQ(features[0]["geometry"]["coordinates"].size(), 2u);
      }
    }
    for (std::size_t chunk : {std::size_t{7}, std::size_t{256}, std::size_t{1} << 20}) {
      SCOPED_TRACE(chunk);
      expectSameReading(streamed(row.doc, chunk), want);
    }
  }
  const std::string windows1250 = declared("windows-1250");
  EXPECT_EQ(whole(windows1250 + body).result.errorOffset,
            static_cast<std::ptrdiff_t>(windows1250.size() + body.find('\x98')));
}

}  // namespace
}  // namespace kl::geo
