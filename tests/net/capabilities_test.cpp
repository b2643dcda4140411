#include "net/capabilities.h"

#include "net/body_kind.h"
#include "net/xml_root.h"
#include "tests/geodata/sample_files.h"
#include "tests/net/fault_server.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <tuple>

namespace kl::net {
namespace {

const std::string kEgibCaps =
    "<WFS_Capabilities><Name>ms:dzialki</Name><Name>ms:budynki</Name></WFS_Capabilities>";

std::string sample(const std::string& rel) { return geo::testing::readWholeFile(std::string(KL_SAMPLES_DIR) + "/" + rel); }

// "MapServer WFS" is not a three-letter service name, nor are default styles layers.
TEST(Capabilities, RealDocumentsListTheirLayerNames) {
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
        {"owslib__mapserver-wfs-cap.xml", 26, {}},
        {"owslib__wms_geoserver-cap.xml", 5, {"OGC:WMS", "opengeo:poi", "point", "parent_layer", "child_layer"}},
    };
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
TEST(Capabilities, EgibLayerNames) {
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
}

TEST(Capabilities, BrokenDocumentsGiveWhatCanBeRead) {
    EXPECT_TRUE(nameListFromCapabilities("").empty());
    EXPECT_TRUE(nameListFromCapabilities("<Name>unterminated").empty());
    EXPECT_EQ(nameListFromCapabilities("<!-- <Name>hidden</Name> --><Name>a&amp;b</Name><Name/><Name>c"),
              std::vector<std::string>{"a&b"});
    EXPECT_TRUE(nameListFromCapabilities(std::string(100000, '<')).empty());
}

TEST(Capabilities, LayerFilters) {
    const std::vector<std::string> names = {"gesut:przewod_wodociagowy", "Siec_gazowa", "Urzadzenia", "bdot500_budynki",
                                            "inne"};
    EXPECT_EQ(utilityWfsLayers(names), std::vector<std::string>{"gesut:przewod_wodociagowy"});
    EXPECT_EQ(utilityWmsLayers(names).size(), 3u);
    EXPECT_EQ(bdot500WmsLayers(names), std::vector<std::string>{"bdot500_budynki"});
    using Names = std::vector<std::string>;
    EXPECT_EQ(mpzpWmsLayers({"granice_planow", "Rysunek_MPZP", "obrysy"}), Names{"Rysunek_MPZP"});
    EXPECT_EQ(mpzpWmsLayers({"Granice", "zasiegi", "plany", "AktPlanowania", "zbior_aktow"}), Names{"plany"});
    EXPECT_EQ(mpzpWmsLayers({"granice", "obrysy"}), (Names{"granice", "obrysy"}));
}

TEST(Capabilities, WmsCrsUsesTheWorkingZoneOnlyWhenOffered) {
    EXPECT_EQ(wmsCrsFor("<SRS>EPSG:2178</SRS>", 2178), 2178);
    EXPECT_EQ(wmsCrsFor("<CRS>urn:ogc:def:crs:EPSG::2177</CRS>", 2177), 2177);
    EXPECT_EQ(wmsCrsFor("<SRS>EPSG:2180</SRS>", 2178), 2180);
    // A Swiss code that starts with the same digits is not the zone.
    EXPECT_EQ(wmsCrsFor("<SRS>EPSG:21781</SRS>", 2178), 2180);
    EXPECT_EQ(wmsCrsFor(sample("gml/capabilities/kartograf__gugik_nmt_wms_SheetsGrid5mEVRF2007_caps.xml"), 2178), 2180);
}

TEST(Capabilities, RealDocumentsAreWholeServiceDescriptions) {
    for (const auto& e : std::filesystem::directory_iterator(std::string(KL_SAMPLES_DIR) + "/gml/capabilities")) {
        const std::string doc = sample("gml/capabilities/" + e.path().filename().string());
        EXPECT_EQ(wholeBodyMismatch(ExpectedBody::Capabilities, doc), "") << e.path();
        EXPECT_NE(wholeBodyMismatch(ExpectedBody::Capabilities, doc.substr(0, doc.size() / 2)), "") << e.path();
    }
}

// Capabilities answers as broken servers give them: each row the first and the
// repeated answer, and what the read makes of them. A failure is not remembered.
TEST(BrokenCapabilities, AreAskedOnceMoreAndNeverReadAsAServiceWithoutLayers) {
    const std::string exceptionReport = "<ows:ExceptionReport><ows:Exception/></ows:ExceptionReport>";
    const struct {
        const char* name;
        int status1;
        std::string body1;
        int status2;
        std::string body2;
        std::string error;  // empty: the names were read
    } cases[] = {
        {"whole", 200, kEgibCaps, 200, kEgibCaps, ""},
        {"one exception report", 200, exceptionReport, 200, kEgibCaps, ""},
        {"one server error", 503, "busy", 200, kEgibCaps, ""},
        {"always down", 503, "busy", 503, "busy", "Serwer zwrocil status 503"},
        {"always html", 200, "<html>Przerwa</html>", 200, "<html>Przerwa</html>",
         "Serwer zwrocil strone HTML zamiast danych."},
        {"always cut short", 200, kEgibCaps.substr(0, 40), 200, kEgibCaps.substr(0, 40),
         "Odpowiedz serwera urwana - niepelny dokument XML."},
        {"always something else", 200, "<wfs:FeatureCollection/>", 200, "<wfs:FeatureCollection/>",
         "Serwer nie zwrocil opisu uslugi (GetCapabilities)."},
    };
    for (const auto& a : cases) {
        SCOPED_TRACE(a.name);
        kl::test::TempCacheHome home;
        kl::test::FaultServer server;
        std::atomic<int> n{0};
        server.on("/egib", [&](const httplib::Request&, httplib::Response& rs) {
            const bool first = n++ == 0;
            rs.status = first ? a.status1 : a.status2;
            rs.set_content(first ? a.body1 : a.body2, "text/xml");
        });
        WfsClient client(kl::test::loopbackTimings(), server.hosts());
        LayerNameCache cache;
        const LayerNamesResult r = fetchLayerNames(client, cache, server.url("/egib"));
        EXPECT_EQ(server.hits("/egib"), a.status1 == 200 && a.body1 == kEgibCaps ? 1 : 2);
        EXPECT_EQ(r.error, a.error);
        EXPECT_EQ(r.ok, a.error.empty());
        EXPECT_EQ(r.names.parcels, a.error.empty() ? "ms:dzialki" : "");
        (void)fetchLayerNames(client, cache, server.url("/egib"));
        EXPECT_EQ(server.hits("/egib") > 2, !a.error.empty());
    }
}

// Real answers, and the comments, CDATA and either quote that XML allows
// around the counts (junk and cut documents are the fuzzers' part).
TEST(XmlRoot, CountsOfWfsAnswers) {
    const struct {
        std::string doc;
        int matched, returned;
        bool next;
    } cases[] = {
        {sample("gml/polish_wfs/kartograf__prg_two_counties.xml"), 2, 2, false},
        {sample("gml/polish_wfs/kartograf__prg_truncated_count1.xml"), -1, 1, true},  // "unknown"
        {sample("gml/polish_wfs/kartograf__prg_no_counties.xml"), -1, 0, false},
        {"<wfs:FeatureCollection numberOfFeatures='7'>", -1, 7, false},
        {"garbage", -1, -1, false},
        {"<?xml version=\"1.0\"?><!-- c --><wfs:FeatureCollection numberMatched=\"12\" numberReturned='3' next=\"x\">"
         "<Name>ms:dzialki</Name><![CDATA[<Name>no</Name>]]>",
         12, 3, true},
    };
    for (const auto& c : cases) {
        const CollectionCounts got = collectionCounts(c.doc);
        EXPECT_EQ(got.numberMatched, c.matched) << c.doc.substr(0, 80);
        EXPECT_EQ(got.numberReturned, c.returned) << c.doc.substr(0, 80);
        EXPECT_EQ(got.hasNext, c.next) << c.doc.substr(0, 80);
    }
    EXPECT_EQ(nameListFromCapabilities(cases[5].doc), std::vector<std::string>{"ms:dzialki"});
    EXPECT_EQ(rootElementName(sample("gml/polish_wfs/kartograf__prg_error_400.xml")), "ows:ExceptionReport");
}

}  // namespace
}  // namespace kl::net
