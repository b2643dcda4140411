#include "net/commune_resolver.h"

#include "geodata/gml_parser.h"
#include "tests/geodata/sample_files.h"
#include "tests/net/fault_server.h"
#include "tests/support/geoportal_suite.h"
#include "tools/geoportal/demo_area.h"

#include <gtest/gtest.h>

namespace kl::net {
namespace {

namespace demo = kl::geoportal::demo;

std::vector<geo::Point2d> squareRing(double x, double y, double size) {
    return {{x, y}, {x + size, y}, {x + size, y + size}, {x, y + size}, {x, y}};
}

// The demo town commune is a ring of about 2.6 km around its centre, the rural
// commune a ring of about 11 km around it.
geo::Bbox frameAround(double x, double y) { return {x - 300, y - 200, x + 300, y + 200}; }
constexpr double kTownE = 260761, kTownN = 382901;

class Resolver : public kl::test::GeoportalSuite {
protected:
    static int requests() { return static_cast<int>(server_->log().snapshot().size()); }
    kl::test::TempCacheHome home;
    WfsClient client{kl::test::loopbackTimings(), hosts()};
};

TEST_F(Resolver, ReusesTheCodeOnlyInsideTheHeldCommune) {
    CommuneResolver resolver(server_->baseUrl() + "/wss/service/PZGIK/PRG/WFS/AdministrativeBoundaries");
    EXPECT_EQ(resolver.resolveCommuneTeryt(client, frameAround(kTownE, kTownN)), demo::kCommuneTeryt);
    // 1.5 km away, still in the same commune: no request.
    EXPECT_EQ(resolver.resolveCommuneTeryt(client, frameAround(kTownE + 1500, kTownN)), demo::kCommuneTeryt);
    EXPECT_EQ(requests(), 1);
    // 5 km away, across the border: asked again, and the neighbour is found.
    EXPECT_EQ(resolver.resolveCommuneTeryt(client, frameAround(kTownE + 5000, kTownN)), demo::kRuralCommuneTeryt);
    EXPECT_EQ(requests(), 2);
    // 30 km away, outside both: asked again, nothing found, the old code is not given out.
    EXPECT_EQ(resolver.resolveCommuneTeryt(client, frameAround(kTownE + 30000, kTownN)), "");
    EXPECT_EQ(resolver.lastError(), "");  // the service answered: no commune there
}

TEST(ResolverLayer, OtherLayerNameIsDiscoveredOnceFromTheCapabilities) {
    kl::test::TempCacheHome home;
    kl::test::FaultServer server;
    WfsClient client{kl::test::loopbackTimings(), server.hosts()};
    std::vector<std::string> asked;
    server.on("/prg", [&](const httplib::Request& rq, httplib::Response& rs) {
        asked.push_back(rq.get_param_value("request") + " " + rq.get_param_value("version"));
        if (rq.get_param_value("request") == "GetCapabilities")
            rs.set_content("<WFS_Capabilities><FeatureTypeList><FeatureType><Name>ms:A01_Granice_wojewodztw</Name>"
                           "</FeatureType><FeatureType><Name>ms:PRG_Granice_gmin_2024</Name></FeatureType>"
                           "</FeatureTypeList></WFS_Capabilities>", "text/xml");
        else if (rq.get_param_value("typenames") == "ms:PRG_Granice_gmin_2024")
            rs.set_content("<wfs:FeatureCollection xmlns:wfs=\"http://www.opengis.net/wfs/2.0\" xmlns:ms=\"m\">"
                           "<wfs:member><ms:g><ms:JPT_KOD_JE>1465011</ms:JPT_KOD_JE></ms:g></wfs:member>"
                           "</wfs:FeatureCollection>", "text/xml");
        else
            rs.status = 400;
    });
    CommuneResolver resolver(server.url("/prg"));
    EXPECT_EQ(resolver.resolveCommuneTeryt(client, frameAround(632000, 485000)), "1465011");
    EXPECT_EQ(resolver.layerName(), "ms:PRG_Granice_gmin_2024");
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_EQ(asked[1], "GetCapabilities 2.0.0");
}

TEST_F(Resolver, UnreachableServiceHoldsNothingAndReadsTheLayerListOnlyOnce) {
    server_->faults().add({{geoportal::FaultKind::Status, 503}, "/wss/service/PZGIK/PRG", "", -1});
    CommuneResolver resolver(server_->baseUrl() + "/wss/service/PZGIK/PRG/WFS/AdministrativeBoundaries");
    EXPECT_EQ(resolver.resolveCommuneTeryt(client, frameAround(kTownE, kTownN)), "");
    EXPECT_FALSE(resolver.holdsResult());
    EXPECT_EQ(resolver.lastError(), "Serwer zwrocil status 503");
    EXPECT_EQ(requests(), 4);  // point query and capabilities, each retried once
    EXPECT_EQ(resolver.resolveCommuneTeryt(client, frameAround(kTownE, kTownN)), "");
    EXPECT_EQ(requests(), 6);  // only the point query again
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
