// The document read member by member gives what the whole document gives:
// the same GeoJSON text, status, message and warnings, for every real sample,
// for every place a chunk can end, and for documents that are broken, cut
// short or not a feature collection at all.
#include <gtest/gtest.h>

#include <filesystem>
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

const std::string kRoot =
    R"(<wfs:FeatureCollection xmlns:wfs="http://www.opengis.net/wfs/2.0" xmlns:gml="http://www.opengis.net/gml/3.2" )"
    R"(xmlns:ms="urn:x")";

std::string square(int x, const std::string& srs = "") {
  const std::string a = std::to_string(x), b = std::to_string(x + 10);
  return "<ms:g><gml:Polygon" + (srs.empty() ? "" : " srsName=\"" + srs + "\"") +
         "><gml:exterior><gml:LinearRing><gml:posList>" + a + " 0 " + b + " 0 " + b + " 10 " + a +
         " 0</gml:posList></gml:LinearRing></gml:exterior></gml:Polygon></ms:g>";
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
    "</wfs:FeatureCollection>\n";

TEST(GmlStream, EveryRealSampleReadsAsWhole) {
  std::size_t documents = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(KL_SAMPLES_DIR)) {
    const std::string ext = entry.path().extension().string();
    if (!entry.is_regular_file() || (ext != ".gml" && ext != ".xml")) continue;
    SCOPED_TRACE(entry.path().string());
    const std::string doc = testing::readWholeFile(entry.path().string());
    const Reading want = whole(doc);
    for (std::size_t chunk : {std::size_t{1} << 20, std::size_t{512}}) {
      SCOPED_TRACE(chunk);
      expectSameReading(streamed(doc, chunk), want);
    }
    ++documents;
  }
  EXPECT_GE(documents, 40u);
}

TEST(GmlStream, EveryChunkBoundaryGivesTheSameReading) {
  const Reading want = whole(kTricky);
  ASSERT_TRUE(want.result.ok()) << want.result.message;
  ASSERT_EQ(want.result.warnings.size(), 1u);
  for (std::size_t chunk = 1; chunk <= kTricky.size(); ++chunk) {
    SCOPED_TRACE(chunk);
    expectSameReading(streamed(kTricky, chunk), want);
  }
}

TEST(GmlStream, EveryCutOfTheDocumentIsTheSameFailureAsWhole) {
  for (const std::size_t chunk : {std::size_t{16}, std::size_t{4096}}) {
    for (std::size_t n = 0; n + 1 < kTricky.size(); ++n) {
      SCOPED_TRACE(std::to_string(chunk) + " " + std::to_string(n));
      const std::string cut = kTricky.substr(0, n);
      const Reading want = whole(cut);
      const Reading got = streamed(cut, chunk);
      if (want.result.ok()) {
        // Only a cut after the root's end leaves a whole document.
        expectSameReading(got, want);
      } else {
        EXPECT_EQ(want.geoJson, geoJsonOf({})) << "a cut document read whole gives no feature";
        EXPECT_EQ(got.result.status, want.result.status);
        EXPECT_EQ(got.result.message, want.result.message);
      }
    }
  }
}

std::string member(int x, const std::string& srs = "") {
  return "<wfs:member><ms:b gml:id=\"b" + std::to_string(x) + "\">" + square(x, srs) + "</ms:b></wfs:member>";
}

std::string deep(int levels) {
  std::string open, close;
  for (int i = 0; i < levels; ++i) {
    open += "<n>";
    close += "</n>";
  }
  return "<wfs:member><ms:b>" + open + close + "</ms:b></wfs:member>";
}

struct Odd {
  const char* name;
  std::string doc;
  std::optional<GmlStatus> status = {};  // what the document read whole gives, when the row names it
  std::size_t features = 0;
  std::string message = {};  // what the refusal says, in part
};

// What each kind of document gives, features or a named refusal, and the
// streamed reading the same, the faults that come after features were handed
// on included: it reports them itself, never as a complete answer.
TEST(GmlStream, OddDocumentsReadAsWhole) {
  std::string many = kRoot + " srsName=\"EPSG:2180\">";
  for (int i = 0; i < 200; ++i) many += member(i * 20);
  // 0x98 is the one byte windows-1250 leaves undefined.
  const std::string body = "<a><wfs:member><b><c>\x98</c></b></wfs:member></a>";
  const std::string windows1250 = "<?xml version=\"1.0\" encoding=\"windows-1250\"?>";
  const Odd rows[] = {
      Odd{"WFS 1.1 featureMembers", R"(<wfs:FeatureCollection xmlns:wfs="http://www.opengis.net/wfs"
        xmlns:gml="http://www.opengis.net/gml" xmlns:ms="urn:x"><gml:featureMembers>
        <ms:b gml:id="1"><ms:g><gml:Point><gml:pos>1 2</gml:pos></gml:Point></ms:g></ms:b>
        <ms:b gml:id="2"><ms:g><gml:Point><gml:pos>3 4</gml:pos></gml:Point></ms:g></ms:b>
        </gml:featureMembers></wfs:FeatureCollection>)", GmlStatus::Ok, 2},
      // An odd trailing number is dropped, not the line.
      Odd{"odd count of numbers", kRoot + "><wfs:member><ms:l><ms:g><gml:LineString srsName=\"EPSG:2180\"><gml:posList>"
                                  "1 2 3 4 5</gml:posList></gml:LineString></ms:g></ms:l></wfs:member></wfs:FeatureCollection>",
          GmlStatus::Ok, 1},
      Odd{"real document without a building", testing::readSample("egibplb__epodgik_gml_no_building.xml"), GmlStatus::Ok},
      Odd{"real answer without counties", testing::readSample("polish_wfs/kartograf__prg_no_counties.xml"), GmlStatus::Ok},
      Odd{"real exception report", testing::readSample("polish_wfs/kartograf__prg_error_400.xml"),
          GmlStatus::ExceptionReport, 0, "NIEMA"},
      Odd{"not XML at all", "not xml at all", GmlStatus::MalformedXml},
      Odd{"unknown encoding", "<?xml version=\"1.0\" encoding=\"x-nieznane\"?>" + body, GmlStatus::BadEncoding, 0,
          "Nieobslugiwane kodowanie dokumentu GML: x-nieznane"},
      Odd{"a byte the encoding lacks", windows1250 + body, GmlStatus::BadEncoding},
      Odd{"srsNameOnlyInALaterMember", kRoot + ">" + member(0) + member(20, "EPSG:2177") + "</wfs:FeatureCollection>"},
      Odd{"srsNameInTheFirstMember", kRoot + ">" + member(0, "EPSG:2177") + member(20) + "</wfs:FeatureCollection>"},
      // Members are parsed below a root that keeps only what a feature reads from it.
      Odd{"dimensionOnTheRoot", kRoot + " xsi:schemaLocation=\"a b\" gml:srsDimension='3' srsName=\"EPSG:2180\">" +
                                      "<wfs:member><ms:b><gml:LineString><gml:posList>1 2 3 4 5 6</gml:posList>"
                                      "</gml:LineString></ms:b></wfs:member></wfs:FeatureCollection>"},
      Odd{"emptySrsNameOnTheRoot", kRoot + " srsName=\"\">" + member(0) + "</wfs:FeatureCollection>"},
      Odd{"notACollection", "<ms:b xmlns:ms=\"urn:x\" xmlns:gml=\"g\">" + member(0, "EPSG:2180") + "</ms:b>"},
      Odd{"latin2", "<?xml version=\"1.0\" encoding=\"ISO-8859-2\"?>" + kRoot + " srsName=\"EPSG:2180\">" +
                          "<wfs:member><ms:b><ms:NAME>\xA3\xF3\x64\xBC</ms:NAME>" + square(0) +
                          "</ms:b></wfs:member></wfs:FeatureCollection>"},
      Odd{"doctype", "<!DOCTYPE x [<!ENTITY e \"v\">]>" + kRoot + " srsName=\"EPSG:2180\">" + member(0) +
                           "</wfs:FeatureCollection>"},
      // Found in the first chunk's second half, with more to read: the
      // whole document is read from its first byte all the same.
      Odd{"tooDeepBeforeAnyFeature", kRoot + " srsName=\"EPSG:2180\"><!--" + std::string(400, 'x') + "-->" +
                                           deep(70) + member(0) + member(20) + member(40) +
                                           "</wfs:FeatureCollection>"},
      Odd{"tooDeepAfterAFeature", kRoot + " srsName=\"EPSG:2180\">" + member(0) + deep(70) +
                                        "</wfs:FeatureCollection>"},
      Odd{"brokenAfterAFeature", kRoot + " srsName=\"EPSG:2180\">" + member(0) +
                                       "<wfs:member><ms:b><ms:x></ms:y></ms:b></wfs:member></wfs:FeatureCollection>"},
      Odd{"wrongEndOfTheRoot", kRoot + " srsName=\"EPSG:2180\">" + member(0) + "</wfs:Other>"},
      Odd{"strayLessThan", kRoot + " srsName=\"EPSG:2180\">" + member(0) + "< x" + member(20) +
                                 "</wfs:FeatureCollection>"},
      Odd{"cutAfterManyMembers", many},
      Odd{"empty", ""},
  };
  for (const Odd& row : rows) {
    SCOPED_TRACE(row.name);
    const Reading want = whole(row.doc);
    if (row.status) {
      EXPECT_EQ(want.result.status, *row.status);
      EXPECT_NE(want.result.message.find(row.message), std::string::npos) << want.result.message;
      EXPECT_EQ(nlohmann::json::parse(want.geoJson)["features"].size(), row.features);
    }
    for (std::size_t chunk : {std::size_t{7}, std::size_t{256}, std::size_t{1} << 20}) {
      SCOPED_TRACE(chunk);
      expectSameReading(streamed(row.doc, chunk), want);
    }
  }
  EXPECT_EQ(whole(windows1250 + body).result.errorOffset,
            static_cast<std::ptrdiff_t>(windows1250.size() + body.find('\x98')));
}

}  // namespace
}  // namespace kl::geo
