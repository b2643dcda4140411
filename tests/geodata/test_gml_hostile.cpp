// Hostile and broken documents give an empty or small result quickly and
// never crash (run under the sanitizers in the sanitizer build).
#include <gtest/gtest.h>

#include <string>

#include "geodata/geojson.h"
#include "geodata/gml_parser.h"
#include "tests/geodata/sample_files.h"

namespace kl::geo {
namespace {

using testing::readSample;

std::string oneFeature(const std::string& textValue, const std::string& extraRoot = "",
                       const std::string& posListAttributes = "") {
  return R"(<wfs:FeatureCollection xmlns:wfs="http://www.opengis.net/wfs/2.0" xmlns:gml="http://www.opengis.net/gml/3.2" xmlns:ms="urn:x" )" +
         extraRoot + R"(><wfs:member><ms:b><ms:NAME>)" + textValue +
         R"(</ms:NAME><ms:g><gml:LineString srsName="EPSG:2180"><gml:posList )" +
         posListAttributes +
         R"(>1 2 3 4</gml:posList></gml:LineString></ms:g></ms:b></wfs:member></wfs:FeatureCollection>)";
}

// What the text of a document says is kept as text: nothing is expanded, fetched or
// allocated because a value claims it.
TEST(GmlHostile, EntitiesAndClaimedSizesAreNotBelieved) {
  std::string doctype = "<?xml version=\"1.0\"?>\n<!DOCTYPE lolz [\n<!ENTITY lol \"lol\">\n";
  for (int i = 1; i <= 9; ++i) {
    doctype += "<!ENTITY lol" + std::to_string(i) + " \"";
    for (int k = 0; k < 10; ++k) doctype += "&lol" + (i == 1 ? std::string() : std::to_string(i - 1)) + ";";
    doctype += "\">\n";
  }
  const struct {
    std::string doc;
    const char* name;
  } rows[] = {
      {doctype + "]>\n" + oneFeature("&lol9;"), "&lol9;"},
      {"<!DOCTYPE x [<!ENTITY xxe SYSTEM \"file:///etc/passwd\">]>" + oneFeature("&xxe;"), "&xxe;"},
      {oneFeature("x", R"(numberMatched="1000000000" numberReturned="1000000000")",
                  R"(count="1000000000" srsDimension="1000000000")"),
       "x"},
  };
  for (const auto& r : rows) {
    const GmlParseResult parsed = GmlParser::parse(r.doc, DataType::Buildings);
    ASSERT_EQ(parsed.features.size(), 1u) << r.name;
    EXPECT_EQ(parsed.features[0].attributes.at("NAME"), r.name);
    EXPECT_EQ(parsed.features[0].lines.at(0).size(), 2u) << r.name;  // an absurd dimension is not believed
  }
}

TEST(GmlHostile, EveryTruncationOfARealDocumentIsSafe) {
  const std::string full = readSample("egibplb__katowice_gml_basic_building_3d.xml");
  ASSERT_GT(full.size(), 1000u);
  std::size_t nonEmpty = 0;
  for (std::size_t n = 0; n < full.size(); ++n) {
    const GmlParseResult r = GmlParser::parse(std::string_view(full).substr(0, n), DataType::Buildings);
    EXPECT_FALSE(r.ok()) << n;
    nonEmpty += r.features.size();
  }
  EXPECT_EQ(nonEmpty, 0u);
  EXPECT_EQ(GmlParser::parse(full, DataType::Buildings).features.size(), 1u);
  // Random junk is the fuzzer's part; an empty document is the first truncation above.
  EXPECT_FALSE(GmlParser::parse("not xml at all", DataType::Buildings).ok());
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
TEST(GmlHostile, DeepNestingIsRefusedWithAMessageAndShallowMembersBelongToTheFeature) {
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

TEST(GmlHostile, ParseStopsWhenTheCallerCancels) {
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

TEST(GmlHostile, InvalidUtf8ValuesStillMakeValidJson) {
  const auto features = GmlParser::parseFeatureCollection(oneFeature("ab\xC3\x28\xFF"), DataType::Buildings);
  ASSERT_EQ(features.size(), 1u);
  EXPECT_NO_THROW((void)toGeoJson(features).dump());
  EXPECT_EQ(features[0].attributes.at("NAME"), "ab\xEF\xBF\xBD(\xEF\xBF\xBD");
}

TEST(GmlHostile, Utf16DocumentIsDecodedAutomatically) {
  const std::string utf8 = oneFeature("@");
  const auto widen = [](std::string_view ascii) {
    std::string out;
    for (char c : ascii) out += std::string{c, '\0'};
    return out;
  };
  const std::size_t at = utf8.find('@');
  // "Łódź" in UTF-16LE after a byte order mark; the markup is ASCII.
  const std::string utf16 = "\xFF\xFE" + widen(utf8.substr(0, at)) + std::string("\x41\x01\xF3\x00\x64\x00\x7A\x01", 8) +
                            widen(utf8.substr(at + 1));
  const auto features = GmlParser::parseFeatureCollection(utf16, DataType::Buildings);
  ASSERT_EQ(features.size(), 1u);
  EXPECT_EQ(features[0].attributes.at("NAME"), "Łódź");
}

}  // namespace
}  // namespace kl::geo
