#include "net/commune_resolver.h"

#include "geodata/gml_parser.h"
#include "tests/geodata/sample_files.h"
#include "tests/net/mini_wfs.h"

#include <gtest/gtest.h>


namespace kl::net {
namespace {

using kl::test::MiniFeature;
using kl::test::MiniWfs;
using kl::test::squareRing;

// Two neighbouring communes, 10 km squares side by side.
std::vector<MiniFeature> communes() {
    return {{"gminy.1", squareRing(630000, 480000, 10000), {}, "1465011"},
            {"gminy.2", squareRing(640000, 480000, 10000), {}, "1465022"}};
}

geo::Bbox frameAround(double x, double y) { return {x - 300, y - 200, x + 300, y + 200}; }

class Resolver : public ::testing::Test {
protected:
    kl::test::TempCacheHome home;
    kl::test::FaultServer server;
    WfsClient client{kl::test::loopbackTimings(), server.hosts()};
};

TEST_F(Resolver, ReusesTheCodeOnlyInsideTheHeldCommune) {
    MiniWfs wfs(server, "/prg", kDefaultCommuneLayer, communes());
    CommuneResolver resolver(wfs.endpoint());
    EXPECT_EQ(resolver.resolveCommuneTeryt(client, frameAround(631000, 481000)), "1465011");
    // 8 km away, still in the same commune: no request.
    EXPECT_EQ(resolver.resolveCommuneTeryt(client, frameAround(631000, 489000)), "1465011");
    EXPECT_EQ(wfs.requests().size(), 1u);
    // 9.5 km away, within the old 10 km radius but across the border: asked
    // again, and the neighbour is found.
    EXPECT_EQ(resolver.resolveCommuneTeryt(client, frameAround(640500, 489000)), "1465022");
    EXPECT_EQ(wfs.requests().size(), 2u);
    // 11 km away, outside both: asked again, nothing found, the old code is not given out.
    EXPECT_EQ(resolver.resolveCommuneTeryt(client, frameAround(651500, 489000)), "");
    EXPECT_EQ(resolver.lastError(), "");  // the service answered: no commune there
    // The miss also reads the capabilities; this service answers them empty,
    // which may pass, so they are asked twice.
    EXPECT_EQ(wfs.requests().size(), 5u);
}

TEST_F(Resolver, OtherLayerNameIsDiscoveredOnceFromTheCapabilities) {
    MiniWfs wfs(server, "/prg", "ms:PRG_Granice_gmin_2024", communes());
    wfs.setCapabilities(
        "<WFS_Capabilities><FeatureTypeList><FeatureType><Name>ms:A01_Granice_wojewodztw</Name></FeatureType>"
        "<FeatureType><Name>ms:A06_Punkty_gmin</Name></FeatureType><FeatureType><Name>ms:PRG_Granice_gmin_2024</Name>"
        "</FeatureType><FeatureType><Name>ms:Granice_gmin_obrony</Name></FeatureType></FeatureTypeList>"
        "</WFS_Capabilities>");
    CommuneResolver resolver(wfs.endpoint());
    EXPECT_EQ(resolver.resolveCommuneTeryt(client, frameAround(632000, 485000)), "1465011");
    EXPECT_EQ(resolver.layerName(), "ms:PRG_Granice_gmin_2024");
    const auto reqs = wfs.requests();
    ASSERT_EQ(reqs.size(), 3u);
    EXPECT_EQ(reqs[1].at("request"), "GetCapabilities");
    EXPECT_EQ(reqs[1].at("version"), "2.0.0");
}

TEST_F(Resolver, UnreachableServiceHoldsNothingAndReadsTheLayerListOnlyOnce) {
    server.reply("/down", 503, "busy");
    CommuneResolver resolver(server.url("/down"));
    EXPECT_EQ(resolver.resolveCommuneTeryt(client, frameAround(632000, 485000)), "");
    EXPECT_FALSE(resolver.holdsResult());
    EXPECT_EQ(resolver.lastError(), "Serwer zwrocil status 503");
    const int afterFirst = server.hits("/down");
    EXPECT_EQ(afterFirst, 4);  // point query and capabilities, each retried once
    EXPECT_EQ(resolver.resolveCommuneTeryt(client, frameAround(632000, 485000)), "");
    EXPECT_EQ(server.hits("/down"), afterFirst + 2);  // only the point query again
}

TEST(CommuneAnswer, CountyCodesOfARealAnswerAreNotCommuneCodes) {
    geo::GmlParseOptions o;
    o.keepFeaturesWithoutGeometry = true;
    const auto parsed = geo::GmlParser::parse(geo::testing::readSample("polish_wfs/kartograf__prg_two_counties.xml"),
                                              geo::DataType::Parcels, o);
    ASSERT_EQ(parsed.features.size(), 2u);
    EXPECT_EQ(communeFromBoundaryAnswer(parsed.features, {0, 0}).teryt, "");
}

TEST(CommuneAnswer, PicksTheQualifyingAttributeAndTheContainingFeature) {
    geo::GisFeature a;
    a.attributes = {{"JPT_KOD_JE", "14650"}, {"kod_gminy", "1465011"}};
    a.polygons.push_back({squareRing(0, 0, 10), {}});
    geo::GisFeature b;
    b.attributes = {{"TERYT", "1465022"}};
    b.polygons.push_back({squareRing(10, 0, 10), {}});
    EXPECT_EQ(communeFromBoundaryAnswer({a, b}, {5, 5}).teryt, "1465011");
    EXPECT_EQ(communeFromBoundaryAnswer({a, b}, {15, 5}).teryt, "1465022");
    EXPECT_EQ(communeFromBoundaryAnswer({a, b}, {50, 50}).teryt, "1465011");  // none contains it: the first
    geo::GisFeature letters;
    letters.attributes = {{"teryt", "14650a1"}};
    EXPECT_EQ(communeFromBoundaryAnswer({letters}, {0, 0}).teryt, "");
}

TEST(CommuneLayer, BestScoringNameWins) {
    EXPECT_EQ(communeLayerFromCapabilities("<Name>ms:gminy</Name><Name>ms:Granice_gmin</Name>"), "ms:Granice_gmin");
    EXPECT_EQ(communeLayerFromCapabilities("<Name>ms:gminy</Name><Name>ms:obrony_gmin_granice</Name>"), "ms:gminy");
    EXPECT_EQ(communeLayerFromCapabilities("<Name>gmi</Name><Name>powiaty</Name>"), "");
}

}  // namespace
}  // namespace kl::net
