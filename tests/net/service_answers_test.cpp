// What an answer must be to count as the data that was asked for: exchange
// texts, body kinds, service descriptions, commune answers, WFS counts.
#include "net/capabilities.h"

#include "base/number_text.h"
#include "geodata/gml_parser.h"
#include "net/body_kind.h"
#include "net/commune_resolver.h"
#include "net/sha1.h"
#include "net/url_text.h"
#include "net/xml_root.h"
#include "tests/geodata/sample_files.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <tuple>

namespace kl::net {
namespace {

// Numbers ignore the process locale; SHA-1 matches the published vectors.
TEST(ExchangeTexts, NumbersAndSha1Names) {
    EXPECT_EQ(formatNumber(485123.25, 10), "485123.25");
    EXPECT_EQ(formatNumber(5789012.123456, 10), "5789012.123");
    EXPECT_EQ(formatNumber(0.5), "0.5");
    EXPECT_EQ(numberText(0.25, std::chars_format::fixed, 2), "0.25");
    // Out of range gives a mark, never stray buffer bytes or an undefined cast.
    EXPECT_EQ(numberText(1e300, std::chars_format::fixed, 3), "?");
    EXPECT_EQ(wholeNumberText(-12.7), "-12");
    for (double v : {std::nan(""), 1e300, -1e300}) EXPECT_EQ(wholeNumberText(v), "?");
    EXPECT_EQ(sha1Hex(""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(sha1Hex("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(sha1Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
    // 55, 56 (the 448-bit vector above) and 64 bytes cross the one-block / two-block padding edge.
    EXPECT_EQ(sha1Hex(std::string(55, 'a')), "c1c8bbdc22796e28c0e15163d20899b65621d65a");
    EXPECT_EQ(sha1Hex(std::string(64, 'a')), "0098ba824b5c16427bd7a1122a5a442a25ec644d");
}

const char* kCollection =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- served -->\n<wfs:FeatureCollection "
    "xmlns:wfs=\"http://www.opengis.net/wfs/2.0\"></wfs:FeatureCollection>";
const char* kException =
    "<?xml version=\"1.0\"?><ows:ExceptionReport xmlns:ows=\"http://www.opengis.net/ows/1.1\">"
    "<ows:Exception exceptionCode=\"InvalidParameterValue\"/></ows:ExceptionReport>";
const char* kWmsException = "<?xml version='1.0'?><ServiceExceptionReport version=\"1.1.1\"/>";
const char* kHtml = "\n<!DOCTYPE HTML><html><body>Przerwa techniczna</body></html>";

// "*": refused, whatever the reason. A whole answer's XML must end.
TEST(BodyKind, AcceptsDocumentsOfTheExpectedKindOnly) {
    const std::string kWhole = kCollection, kCut = "Odpowiedz serwera urwana - niepelny dokument XML.";
    const struct {
        ExpectedBody kind;
        std::string body;
        std::string problem;
        bool whole = false;
    } rows[] = {
        {ExpectedBody::Xml, kCollection, ""},
        {ExpectedBody::Text, " {\"a\":1}", ""},
        {ExpectedBody::Json, "\xEF\xBB\xBF[1]", ""},
        {ExpectedBody::Zip, std::string("PK\x03\x04rest", 8), ""},
        {ExpectedBody::Image, std::string("\x89PNG\r\n\x1a\n....", 12), ""},
        {ExpectedBody::Image, "\xFF\xD8\xFF\xE0", ""},
        {ExpectedBody::PointCloud, "LASF....", ""},
        {ExpectedBody::Binary, "anything", ""},
        {ExpectedBody::Xml, "{\"json\":true}", "*"},
        {ExpectedBody::Json, kCollection, "*"},
        {ExpectedBody::Zip, "LASF", "*"},
        {ExpectedBody::Xml, "<!-- never closed", "*"},
        {ExpectedBody::Text, "", "Serwer zwrocil pusta odpowiedz."},
        // exception reports and HTML pages whatever is expected
        {ExpectedBody::Zip, kException, "Serwer zwrocil raport bledu OGC zamiast danych."},
        {ExpectedBody::Binary, kWmsException, "Serwer zwrocil raport bledu OGC zamiast danych."},
        {ExpectedBody::Image, kHtml, "Serwer zwrocil strone HTML zamiast danych."},
        // whole answers
        {ExpectedBody::Xml, kWhole, "", true},
        {ExpectedBody::Xml, kWhole + "\n<!-- served in 3 ms -->\n", "", true},
        {ExpectedBody::Text, "{\"a\":[1,2", "", true},  // only XML is checked for its end
        {ExpectedBody::Xml, kWhole.substr(0, kWhole.size() - 1), kCut, true},
        {ExpectedBody::Xml, kWhole.substr(0, kWhole.size() - 24) + "<a></a>", kCut, true},
        {ExpectedBody::Capabilities, kWhole, "Serwer nie zwrocil opisu uslugi (GetCapabilities).", true},
    };
    for (const auto& r : rows) {
        const std::string problem = r.whole ? wholeBodyMismatch(r.kind, r.body) : bodyMismatch(r.kind, r.body);
        EXPECT_EQ(r.problem == "*" ? !problem.empty() : problem == r.problem, true) << r.body << ": " << problem;
    }
}

std::string sample(const std::string& rel) { return geo::testing::readWholeFile(std::string(KL_SAMPLES_DIR) + "/" + rel); }

// Every real document is a whole service description (and half of one is not);
// neither service names ("OGC:WMS", "MapServer WFS") nor style names are layers.
TEST(Capabilities, RealDocumentsAreWholeAndListTheirLayerNames) {
    const struct {
        const char* file;
        std::size_t count;
        std::vector<std::string> some;  // the whole list when it has count names, else its first and last
    } cases[] = {
        {"kartograf__gugik_lidar_evrf2007_wfs_caps.xml", 9,
         {"gugik:SkorowidzDanychPomiarowychLIDAR2018", "gugik:SkorowidzDanychPomiarowychLIDAR2026"}},
        {"kartograf__gugik_nmt_wms_SheetsGrid5mEVRF2007_caps.xml", 4,
         {"SkorowidzeNMT2022iStarsze", "SkorowidzeNMT2023", "SkorowidzeNMT2024", "SkorowidzeNMT2025"}},
        {"owslib__wfs_koeln_arcgis_getcapabilities_200.xml", 86, {}},
        {"owslib__mapserver-wfs-cap.xml", 25, {}},
        {"owslib__wms_geoserver-cap.xml", 3, {"opengeo:poi", "parent_layer", "child_layer"}},
    };
    for (const auto& e : std::filesystem::directory_iterator(std::string(KL_SAMPLES_DIR) + "/gml/capabilities")) {
        const std::string doc = sample("gml/capabilities/" + e.path().filename().string());
        EXPECT_EQ(wholeBodyMismatch(ExpectedBody::Capabilities, doc), "") << e.path();
        EXPECT_NE(wholeBodyMismatch(ExpectedBody::Capabilities, doc.substr(0, doc.size() / 2)), "") << e.path();
    }
    for (const auto& c : cases) {
        const auto names = nameListFromCapabilities(sample(std::string("gml/capabilities/") + c.file));
        ASSERT_EQ(names.size(), c.count) << c.file;
        if (c.some.size() == c.count) {
            EXPECT_EQ(names, c.some) << c.file;
        } else if (!c.some.empty()) {
            EXPECT_EQ(names.front(), c.some.front()) << c.file;
            EXPECT_EQ(names.back(), c.some.back()) << c.file;
        }
    }
}

// Current layers win over archive ones in any order; a real cadastre of another
// country has parcels and no buildings.
TEST(Capabilities, EgibLayerNamesLayerFiltersAndTheWmsSystem) {
    const std::tuple<std::string, const char*, const char*> cases[] = {
        {sample("gml/capabilities/owslib__wfs_CUZK_GetCapabilities_2_0_0.xml"), "CP:CadastralParcel", ""},
        {"<WFS_Capabilities><FeatureTypeList>"
         "<FeatureType><Name>ms:dzialki_archiwalne</Name></FeatureType>"
         "<FeatureType><Name>ms:budynki_hist</Name></FeatureType>"
         "<FeatureType><Name>ms:dzialki</Name></FeatureType>"
         "<FeatureType><Name>ms:budynki</Name></FeatureType>"
         "<FeatureType><Name>ms:budynki_opis</Name></FeatureType>"
         "<FeatureType><Name>Działki ewidencyjne</Name></FeatureType>"
         "</FeatureTypeList></WFS_Capabilities>",
         "ms:dzialki", "ms:budynki"},
        {"<x><wfs:Name>ewns:Działki</wfs:Name><wfs:Name>ewns:Buildings</wfs:Name></x>", "ewns:Działki", "ewns:Buildings"},
    };
    for (const auto& [document, parcels, buildings] : cases) {
        const WfsLayerNames n = egibLayerNamesFromCapabilities(document);
        EXPECT_EQ(n.parcels, parcels);
        EXPECT_EQ(n.buildings, buildings);
    }
    const std::vector<std::string> names = {"gesut:przewod_wodociagowy", "Siec_gazowa", "Urzadzenia", "bdot500_budynki",
                                            "inne"};
    EXPECT_EQ(utilityWfsLayers(names), std::vector<std::string>{"gesut:przewod_wodociagowy"});
    EXPECT_EQ(utilityWmsLayers(names).size(), 3u);
    EXPECT_EQ(bdot500WmsLayers(names), std::vector<std::string>{"bdot500_budynki"});
    using Names = std::vector<std::string>;
    EXPECT_EQ(mpzpWmsLayers({"granice_planow", "Rysunek_MPZP", "obrysy"}), Names{"Rysunek_MPZP"});
    EXPECT_EQ(mpzpWmsLayers({"Granice", "zasiegi", "plany", "AktPlanowania", "zbior_aktow"}), Names{"plany"});
    EXPECT_EQ(mpzpWmsLayers({"granice", "obrysy"}), (Names{"granice", "obrysy"}));
    // The working zone's system only when the service offers it.
    EXPECT_EQ(wmsCrsFor("<SRS>EPSG:2178</SRS>", 2178), 2178);
    EXPECT_EQ(wmsCrsFor("<CRS>urn:ogc:def:crs:EPSG::2177</CRS>", 2177), 2177);
    EXPECT_EQ(wmsCrsFor("<SRS>EPSG:2180</SRS>", 2178), 2180);
    // A Swiss code that starts with the same digits is not the zone.
    EXPECT_EQ(wmsCrsFor("<SRS>EPSG:21781</SRS>", 2178), 2180);
    EXPECT_EQ(wmsCrsFor(sample("gml/capabilities/kartograf__gugik_nmt_wms_SheetsGrid5mEVRF2007_caps.xml"), 2178), 2180);
}

std::vector<geo::Point2d> squareRing(double x, double y, double size) {
    return {{x, y}, {x + size, y}, {x + size, y + size}, {x, y + size}, {x, y}};
}

// The county codes of a real answer are no commune codes.
TEST(CommuneAnswer, PicksTheQualifyingAttributeAndTheContainingFeature) {
    geo::GmlParseOptions o;
    o.keepFeaturesWithoutGeometry = true;
    const auto parsed = geo::GmlParser::parse(geo::testing::readSample("polish_wfs/kartograf__prg_two_counties.xml"),
                                              geo::DataType::Parcels, o);
    ASSERT_EQ(parsed.features.size(), 2u);
    EXPECT_EQ(communeFromBoundaryAnswer(parsed.features, {0, 0}).teryt, "");
    geo::GisFeature a, b, letters;
    a.attributes = {{"JPT_KOD_JE", "14650"}, {"kod_gminy", "1465011"}};
    a.polygons.push_back({squareRing(0, 0, 10), {}});
    b.attributes = {{"TERYT", "1465022"}};
    b.polygons.push_back({squareRing(10, 0, 10), {}});
    EXPECT_EQ(communeFromBoundaryAnswer({a, b}, {5, 5}).teryt, "1465011");
    EXPECT_EQ(communeFromBoundaryAnswer({a, b}, {15, 5}).teryt, "1465022");
    EXPECT_EQ(communeFromBoundaryAnswer({a, b}, {50, 50}).teryt, "1465011");  // none contains it: the first
    letters.attributes = {{"teryt", "14650a1"}};
    EXPECT_EQ(communeFromBoundaryAnswer({letters}, {0, 0}).teryt, "");
}

// Real answers, and the comments, CDATA and either quote that XML allows
// around the counts (junk and cut documents are the fuzzers' part).
TEST(XmlRoot, CountsOfWfsAnswers) {
    const struct {
        std::string doc;
        int matched, returned;
        std::string_view nextPart;  // a part of the "next" link, entities decoded; empty when there is none
    } cases[] = {
        {sample("gml/polish_wfs/kartograf__prg_two_counties.xml"), 2, 2, ""},
        {sample("gml/polish_wfs/kartograf__prg_truncated_count1.xml"), -1, 1, "GetFeature&TYPENAMES"},  // "unknown"
        {sample("gml/polish_wfs/kartograf__lidar_evrf2007_getfeature_2022.xml"), 1, 1, ""},
        {"<wfs:FeatureCollection numberOfFeatures='7'>", -1, 7, ""},
        {"<?xml version=\"1.0\"?><!-- c --><wfs:FeatureCollection numberMatched=\"12\" numberReturned='3' next=\"x\">"
         "<Name>ms:dzialki</Name><![CDATA[<Name>no</Name>]]>",
         12, 3, "x"},
    };
    for (const auto& c : cases) {
        const CollectionCounts got = collectionCounts(c.doc);
        EXPECT_EQ(got.numberMatched, c.matched) << c.doc.substr(0, 80);
        EXPECT_EQ(got.numberReturned, c.returned) << c.doc.substr(0, 80);
        EXPECT_EQ(got.next.empty(), c.nextPart.empty()) << c.doc.substr(0, 80);
        EXPECT_NE(got.next.find(c.nextPart), std::string::npos) << got.next;
    }
    EXPECT_EQ(nameListFromCapabilities(std::end(cases)[-1].doc), std::vector<std::string>{"ms:dzialki"});
    // Broken documents give what can be read.
    EXPECT_TRUE(nameListFromCapabilities("<Name>unterminated").empty());
    EXPECT_EQ(nameListFromCapabilities("<!-- <Name>hidden</Name> --><Name>a&amp;b</Name><Name/><Name>c"),
              std::vector<std::string>{"a&b"});
    EXPECT_EQ(rootElementName(sample("gml/polish_wfs/kartograf__prg_error_400.xml")), "ows:ExceptionReport");
}

}  // namespace
}  // namespace kl::net
