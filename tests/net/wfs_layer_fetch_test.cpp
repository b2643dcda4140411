#include "net/wfs_layer_fetch.h"

#include "geodata/polish_crs.h"
#include "tests/net/mini_wfs.h"

#include <gtest/gtest.h>

namespace kl::net {
namespace {

using kl::test::MiniFeature;
using kl::test::MiniWfs;
using kl::test::MiniWfsBehaviour;
using kl::test::squareRing;

const geo::Bbox kFrame{637000, 486000, 637400, 486300};

std::vector<MiniFeature> parcels() {
    return {{"dzialki.1", squareRing(637100, 486100, 30), {}, {}},
            {"dzialki.2", squareRing(637200, 486150, 30), {}, {}},
            // Where a swapped box lands: inside the box a confused server
            // reads when it takes the request's northings for eastings.
            {"dzialki.far", squareRing(486100, 637100, 30), {}, {}}};
}

class LayerFetch : public ::testing::Test {
protected:
    kl::test::TempCacheHome home;
    kl::test::FaultServer server;
    WfsClient client{kl::test::loopbackTimings(), server.hosts()};
    WfsMemory memory;
};

TEST(TouchTest, VerticesInsideOrFrameInsidePolygon) {
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
    for (std::size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(featureTouchesFrame(cases[i].first, kFrame), cases[i].second) << i;
}

// Each kind of service is found by the variant that reads it, after the
// variants before it failed, and the next fetch (in another frame) runs only
// that variant.
TEST(LayerFetchVariants, EachServiceKindIsFoundInOrderAndRemembered) {
    struct Case {
        const char* name;
        MiniWfsBehaviour behaviour;
        WfsVariant variant;
        std::size_t requests;            // every request of the first fetch
        std::vector<std::string> asked;  // one parameter of each of them ("key=value"), or nothing
    };
    const Case cases[] = {
        {"northing first", {}, WfsVariant::NorthingFirst, 1, {}},
        {"easting first", {.boxEastingFirst = true}, WfsVariant::EastingFirst, 2,
         {"bbox=486000,637000,486300,637400,urn:ogc:def:crs:EPSG::2180",
          "bbox=637000,486000,637400,486300,urn:ogc:def:crs:EPSG::2180"}},
        // variants 1, 2 and 3 first, each refused with a 400 that is not retried
        {"WFS 1.1.0 only", {.only110 = true}, WfsVariant::Wfs110, 4,
         {"version=2.0.0", "version=2.0.0", "srsname=EPSG:2178", "version=1.1.0"}},
        {"PL-2000 only", {.onlyPl2000 = true}, WfsVariant::Pl2000Zone, 3, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        kl::test::TempCacheHome home;
        kl::test::FaultServer server;
        WfsClient client{kl::test::loopbackTimings(), server.hosts()};
        WfsMemory memory;
        MiniWfs wfs(server, "/wfs", "ms:dzialki", parcels(), c.behaviour);
        const LayerFetchResult r =
            fetchWfsLayer(client, memory, wfs.endpoint(), "ms:dzialki", kFrame, geo::DataType::Parcels, nullptr);
        EXPECT_EQ(r.variant, c.variant);
        ASSERT_EQ(r.features.size(), 2u);
        EXPECT_EQ(r.features[0].attributes.at("gml_id"), "dzialki.1");
        // back in PL-1992 whatever system the answer used
        const geo::Point2d p = r.features[0].polygons.at(0).exterior.at(0);
        EXPECT_NEAR(p.x, 637100, 0.01);
        EXPECT_NEAR(p.y, 486100, 0.01);
        const auto reqs = wfs.requests();
        ASSERT_EQ(reqs.size(), c.requests);
        for (std::size_t k = 0; k < c.asked.size(); ++k) {
            const auto eq = c.asked[k].find('=');
            EXPECT_EQ(reqs[k].at(c.asked[k].substr(0, eq)), c.asked[k].substr(eq + 1)) << k;
        }
        EXPECT_EQ(memory.variants.at(wfs.endpoint() + "|ms:dzialki"), c.variant);
        const LayerFetchResult again = fetchWfsLayer(client, memory, wfs.endpoint(), "ms:dzialki",
                                                     {637050, 486050, 637300, 486250}, geo::DataType::Parcels, nullptr);
        EXPECT_EQ(again.variant, c.variant);
        EXPECT_EQ(wfs.requests().size(), c.requests + 1);
    }
}

TEST_F(LayerFetch, NoVariantInFrameFallsBackToASmallWholeLayer) {
    // The service ignores BBOX in a way no variant fixes: it only answers
    // requests without one.
    MiniWfs wfs(server, "/wfs", "ms:dzialki", parcels());
    server.on("/odd", [&](const httplib::Request& rq, httplib::Response& rs) {
        if (rq.has_param("BBOX")) {
            rs.set_content("<wfs:FeatureCollection xmlns:wfs=\"w\" numberReturned=\"0\"/>", "text/xml");
            return;
        }
        wfs.answer(rq, rs);
    });
    int progressCalls = 0;
    const LayerFetchResult r = fetchWfsLayer(client, memory, server.url("/odd"), "ms:dzialki", kFrame,
                                             geo::DataType::Parcels, [&](int, int) { ++progressCalls; });
    EXPECT_TRUE(r.wholeLayerFallback);
    EXPECT_EQ(r.features.size(), 2u);  // the far one is dropped by the touch test
    EXPECT_EQ(memory.variants.count(server.url("/odd") + "|ms:dzialki"), 0u);
    EXPECT_GE(progressCalls, 1);
}

TEST_F(LayerFetch, WholeLayerThatDoesNotParseIsReported) {
    server.on("/cut", [](const httplib::Request& rq, httplib::Response& rs) {
        if (rq.has_param("BBOX")) {
            rs.set_content("<wfs:FeatureCollection xmlns:wfs=\"w\" numberReturned=\"0\"/>", "text/xml");
        } else if (rq.has_param("resultType")) {
            rs.set_content("<wfs:FeatureCollection xmlns:wfs=\"w\" numberMatched=\"5\"/>", "text/xml");
        } else {
            rs.set_content("<wfs:FeatureCollection xmlns:wfs=\"w\"><wfs:member><ms:b>", "text/xml");
        }
    });
    const LayerFetchResult r =
        fetchWfsLayer(client, memory, server.url("/cut"), "ms:b", kFrame, geo::DataType::Buildings, nullptr);
    EXPECT_TRUE(r.wholeLayerFallback);
    EXPECT_TRUE(r.features.empty());
    // The client refuses the cut document before the parser sees it; either way the layer is named.
    EXPECT_EQ(r.warning.rfind("Usluga WFS ms:b: Odpowiedz serwera urwana", 0), 0u) << r.warning;
}

TEST_F(LayerFetch, EmptyTypeNameAsksNothing) {
    MiniWfs wfs(server, "/wfs", "ms:dzialki", parcels());
    EXPECT_TRUE(fetchWfsLayer(client, memory, wfs.endpoint(), "", kFrame, geo::DataType::Parcels, nullptr)
                    .features.empty());
    EXPECT_TRUE(wfs.requests().empty());
}

}  // namespace
}  // namespace kl::net
