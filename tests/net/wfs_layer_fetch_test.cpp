#include "net/wfs_layer_fetch.h"

#include "tests/net/fault_server.h"
#include "tests/support/geoportal_suite.h"
#include "tools/geoportal/demo_area.h"

#include <gtest/gtest.h>

namespace kl::net {
namespace {

namespace demo = kl::geoportal::demo;

const geo::Bbox kSite{demo::kMinEasting, demo::kMinNorthing, demo::kMaxEasting, demo::kMaxNorthing};
const std::string kCadastre = "/wss/ext/PowiatoweBazyEwidencjiGruntow/0201";
// The western tile of the site: one request a variant.
const geo::Bbox kTile{demo::kMinEasting, demo::kMinNorthing, demo::kMinEasting + 500, demo::kMaxNorthing};

std::vector<geo::Point2d> squareRing(double x, double y, double size) {
    return {{x, y}, {x + size, y}, {x + size, y + size}, {x, y + size}, {x, y}};
}

TEST(TouchTest, VerticesInsideOrFrameInsidePolygon) {
    const geo::Bbox frame{637000, 486000, 637400, 486300};
    const auto polygon = [](std::vector<geo::Point2d> ring) {
        geo::GisFeature f;
        f.polygons.push_back({std::move(ring), {}});
        return f;
    };
    geo::GisFeature edgePoint, line;
    edgePoint.hasPoint = true;
    edgePoint.point = {637400, 486300};
    line.lines.push_back({{0, 0}, {637001, 486001}});
    const std::pair<geo::GisFeature, bool> cases[] = {
        {polygon(squareRing(637390, 486290, 50)), true},     {polygon(squareRing(636000, 485000, 5000)), true},
        {polygon(squareRing(486000, 637000, 500)), false},   {edgePoint, true},
        {line, true},                                        {geo::GisFeature{}, false}};
    for (std::size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(featureTouchesFrame(cases[i].first, frame), cases[i].second) << i;
}

class LayerFetch : public kl::test::GeoportalSuite {
protected:
    kl::test::TempCacheHome home;
    WfsClient client{kl::test::loopbackTimings(), hosts()};
    WfsMemory memory;
};

// Each kind of service (a server profile of the geoportal) is found by the
// variant that reads it, after the variants before it failed, and the next
// fetch (in another frame) runs only that variant.
TEST_F(LayerFetch, EachServiceKindIsFoundInOrderAndRemembered) {
    const struct {
        const char* profile;
        WfsVariant variant;
        std::size_t requests;  // of the first fetch
        const char* lastAsked;  // a piece of the URL of its last request
    } cases[] = {
        {"plain", WfsVariant::NorthingFirst, 1, "BBOX=382640%2C260400%2C383080%2C260900%2Curn"},
        {"xy", WfsVariant::EastingFirst, 2, "BBOX=260400%2C382640%2C260900%2C383080%2Curn"},
        {"pl2000", WfsVariant::Pl2000Zone, 3, "SRSNAME=EPSG%3A2176"},
        // variants 1, 2 and 3 first, each refused with a 400 that is not retried
        {"wfs11", WfsVariant::Wfs110, 4, "version=1.1.0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.profile);
        server_->log().clear();
        const std::string endpoint = server_->baseUrl() + "/__profile/" + c.profile + kCadastre;
        const LayerFetchResult r = fetchWfsLayer(client, memory, endpoint, "ms:dzialki", kTile, geo::DataType::Parcels, nullptr);
        EXPECT_EQ(r.variant, c.variant);
        ASSERT_GT(r.features.size(), 100u);
        // back in PL-1992 whatever system the answer used
        const geo::Point2d p = r.features[0].polygons.at(0).exterior.at(0);
        EXPECT_TRUE(p.x > kSite.minX && p.x < kSite.maxX && p.y > kSite.minY && p.y < kSite.maxY) << p.x << " " << p.y;
        const auto log = server_->log().snapshot();
        ASSERT_EQ(log.size(), c.requests);
        EXPECT_NE(log.back().target.find(c.lastAsked), std::string::npos) << log.back().target;
        EXPECT_EQ(memory.variants.at(endpoint + "|ms:dzialki"), c.variant);
        const geo::Bbox inner{kTile.minX + 50, kTile.minY + 50, kTile.maxX - 50, kTile.maxY - 50};
        EXPECT_EQ(fetchWfsLayer(client, memory, endpoint, "ms:dzialki", inner, geo::DataType::Parcels, nullptr).variant,
                  c.variant);
        EXPECT_EQ(server_->log().snapshot().size(), c.requests + 1);
    }
}

TEST_F(LayerFetch, EmptyTypeNameAsksNothing) {
    EXPECT_TRUE(fetchWfsLayer(client, memory, server_->baseUrl() + kCadastre, "", kSite, geo::DataType::Parcels, nullptr)
                    .features.empty());
    EXPECT_TRUE(server_->log().snapshot().empty());
}

// Services that ignore BBOX in a way no variant fixes: they answer only
// requests without one. A small whole layer is then read and cut to the
// frame; a whole layer that does not parse is reported.
TEST(WholeLayerFallback, SmallLayerIsCutToTheFrameOrReportedWhenItDoesNotParse) {
    const std::string point = "<wfs:member><ms:b gml:id=\"b.%\"><gml:Point srsName=\"urn:ogc:def:crs:EPSG::2180\">"
                              "<gml:pos>% %</gml:pos></gml:Point></ms:b></wfs:member>";
    const auto member = [&](int id, int e, int n) {
        std::string s = point;
        for (const std::string& v : {std::to_string(id), std::to_string(n), std::to_string(e)}) s.replace(s.find('%'), 1, v);
        return s;
    };
    const std::string open = "<wfs:FeatureCollection xmlns:wfs=\"http://www.opengis.net/wfs/2.0\" "
                             "xmlns:gml=\"http://www.opengis.net/gml/3.2\" xmlns:ms=\"m\" numberMatched=\"3\"";
    const struct {
        const char* name;
        std::string whole;
        std::size_t features;
        const char* warningStart;
    } cases[] = {
        {"small layer", open + ">" + member(1, 637100, 486100) + member(2, 637200, 486200) + member(3, 486100, 637100) +
                            "</wfs:FeatureCollection>",
         2, ""},
        {"cut document", "<wfs:FeatureCollection xmlns:wfs=\"w\"><wfs:member><ms:b>", 0,
         "Usluga WFS ms:b: Odpowiedz serwera urwana"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        kl::test::TempCacheHome home;
        kl::test::FaultServer server;
        WfsClient client{kl::test::loopbackTimings(), server.hosts()};
        WfsMemory memory;
        server.on("/odd", [&](const httplib::Request& rq, httplib::Response& rs) {
            if (rq.has_param("BBOX"))
                rs.set_content("<wfs:FeatureCollection xmlns:wfs=\"w\" numberReturned=\"0\"/>", "text/xml");
            else if (rq.has_param("resultType"))
                rs.set_content(open + "/>", "text/xml");
            else
                rs.set_content(c.whole, "text/xml");
        });
        int progressCalls = 0;
        const LayerFetchResult r = fetchWfsLayer(client, memory, server.url("/odd"), "ms:b", {637000, 486000, 637400, 486300},
                                                 geo::DataType::Buildings, [&](int, int) { ++progressCalls; });
        EXPECT_TRUE(r.wholeLayerFallback) << r.warning;
        EXPECT_EQ(r.features.size(), c.features);  // the far one is dropped by the touch test
        EXPECT_EQ(r.warning.rfind(c.warningStart, 0), 0u) << r.warning;
        EXPECT_EQ(memory.variants.count(server.url("/odd") + "|ms:b"), 0u);
        EXPECT_GE(progressCalls, 1);
    }
}

}  // namespace
}  // namespace kl::net
