// GetFeature requests, the frame fetched tile by tile, and a layer fetched by
// the request variant its service reads, from the local geoportal, whose
// server profiles behave as county services do.
#include "net/wfs_layer_fetch.h"
#include "net/wfs_requests.h"
#include "net/wfs_tiling.h"

#include "net/download_cache.h"
#include "tests/net/fault_server.h"
#include "tests/support/geoportal_suite.h"
#include "tools/geoportal/demo_area.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <iterator>

namespace kl::net {
namespace {

namespace demo = kl::geoportal::demo;

// Each request as the parameters give it: what its URL holds (a piece of it,
// or the whole when it starts with the base) and what it must not hold.
TEST(GetFeatureUrl, FollowsTheVersionAxisOrderPagingAndSystemTileByTile) {
    const geo::Bbox box{637000.5, 486000.25, 638200.5, 486700.25};
    const std::string county = "https://county.example/wfs", mapserver = "https://county.example/cgi-bin/x?map=egib";
    const struct {
        const char* name;
        GetFeatureParams params;
        std::string holds, lacks;
    } cases[] = {
        {"WFS 2.0 northing first in 2180", {.baseUrl = county, .typeName = "ms:dzialki", .frame = box},
         county + "?service=WFS&version=2.0.0&request=GetFeature&typenames=ms%3Adzialki"
         "&COUNT=1000&BBOX=486000.25%2C637000.5%2C486700.25%2C638200.5%2Curn%3Aogc%3Adef%3Acrs%3AEPSG%3A%3A2180",
         "SRSNAME"},
        {"easting first, a start index and an existing query",
         {.baseUrl = mapserver, .typeName = "budynki", .count = 500, .startIndex = 1500, .frame = box,
          .northingFirst = false},
         mapserver + "&service=WFS&version=2.0.0&request=GetFeature&typenames=budynki&COUNT=500&STARTINDEX=1500"
         "&BBOX=637000.5%2C486000.25%2C638200.5%2C486700.25%2Curn%3Aogc%3Adef%3Acrs%3AEPSG%3A%3A2180", ""},
        {"WFS 1.1.0 uses maxFeatures and never pages",
         {.baseUrl = "http://h/wfs", .typeName = "ewns:dzialki", .startIndex = 1000, .frame = box, .wfs110 = true},
         "?service=WFS&version=1.1.0&request=GetFeature&typename=ewns%3Adzialki&maxFeatures=1000&BBOX=", "STARTINDEX"},
        // The box itself is the polish_crs tests' (all four corners converted).
        {"PL-2000 names its system", {.baseUrl = "http://h/wfs", .typeName = "t", .frame = box, .epsg = 2176},
         "&SRSNAME=EPSG%3A2176&BBOX=", "EPSG%3A%3A2180"},
        {"other codes fall back to 2180", {.baseUrl = "http://h/wfs", .typeName = "t", .frame = box, .epsg = 4326},
         "EPSG%3A%3A2180", "SRSNAME"},
    };
    for (const auto& c : cases) {
        const std::string url = buildGetFeatureUrl(c.params);
        if (c.holds.rfind(c.params.baseUrl, 0) == 0) {
            EXPECT_EQ(url, c.holds) << c.name;
        } else {
            EXPECT_NE(url.find(c.holds), std::string::npos) << c.name << ": " << url;
        }
        EXPECT_TRUE(c.lacks.empty() || url.find(c.lacks) == std::string::npos) << c.name << ": " << url;
    }
    // Tiles follow the ceiling of each side, column by column, clipped to the frame.
    const std::pair<geo::Bbox, std::size_t> counts[] = {{{0, 0, 1200, 300}, 3}, {{0, 0, 500, 500}, 1},
                                                        {{0, 0, 1200, 700}, 6}, {{0, 0, 500.01, 500}, 2},
                                                        {{0, 0, 10, 0}, 1},     {{5, 0, 5, 100}, 0},
                                                        {{5, 0, 4, 100}, 0}};
    for (const auto& [frame, tiles] : counts) EXPECT_EQ(tilesFor(frame).size(), tiles) << frame.maxX << " " << frame.maxY;
    const std::vector<geo::Bbox> expected = {
        {637000, 486000, 637500, 486500}, {637000, 486500, 637500, 486700}, {637500, 486000, 638000, 486500},
        {637500, 486500, 638000, 486700}, {638000, 486000, 638200, 486500}, {638000, 486500, 638200, 486700}};
    EXPECT_EQ(tilesFor({637000, 486000, 638200, 486700}), expected);  // 1.2 km x 0.7 km in Warsaw
}

// The demo site is two tiles of 500 m; its mains cross the edge between them.
const geo::Bbox kSite{demo::kMinEasting, demo::kMinNorthing, demo::kMaxEasting, demo::kMaxNorthing};
const std::string kCadastre = "/wss/ext/PowiatoweBazyEwidencjiGruntow/0201";
// The western tile of the site: one request a variant.
const geo::Bbox kTile{demo::kMinEasting, demo::kMinNorthing, demo::kMinEasting + 500, demo::kMaxNorthing};

geoportal::ServiceConfig capped(long long maxFeatures, bool matchedUnknown = false) {
    return {.maxFeatures = maxFeatures, .matchedUnknown = matchedUnknown, .lidarCacheDir = {}};
}

class TiledFetch : public kl::test::GeoportalSuite {
protected:
    TiledFetchResult fetch(const std::string& path, const std::string& type, TiledFetchOptions o = {},
                           const TileProgress& progress = nullptr) {
        return getFeatureTiled(client, server_->baseUrl() + path, type, kSite,
                               type == "ms:budynki" ? geo::DataType::Buildings : geo::DataType::Parcels, progress, o);
    }
    kl::test::TempCacheHome home;
    WfsClient client{kl::test::loopbackTimings(), hosts()};
};

TEST_F(TiledFetch, FrameComesTileByTileOnceAndThenFromTheCache) {
    std::vector<std::pair<int, int>> progress;
    const TiledFetchResult r = fetch(kCadastre, "ms:dzialki", {}, [&](int d, int t) { progress.emplace_back(d, t); });
    EXPECT_EQ(r.tiles, 2);
    EXPECT_EQ(r.tilesAnswered, 2);
    EXPECT_EQ(r.features.size(), std::size_t(demo::kParcels));
    EXPECT_EQ(r.warning, "");
    EXPECT_EQ(progress, (std::vector<std::pair<int, int>>{{1, 2}, {2, 2}}));
    EXPECT_EQ(server_->log().snapshot().size(), 2u);
    EXPECT_EQ(fetch(kCadastre, "ms:dzialki").features.size(), r.features.size());
    EXPECT_EQ(server_->log().snapshot().size(), 2u);
}

// A dense tile is paged with STARTINDEX; without a total a short page proves
// nothing, so a capped server is asked until it answers an empty page; WFS
// 1.1.0 cannot page, so full answers are split. A server that ignores
// STARTINDEX or refuses it gets split tiles and a warning; when no split is
// allowed the tile is reported as cut.
TEST_F(TiledFetch, EveryFeatureOfADenseTileComesOrTheWarningSaysWhyNot) {
    const struct {
        const char* profile;
        geoportal::ServiceConfig config;
        int pageSize, maxSplitDepth;
        std::string warning;  // a part of it; "" = none
        bool whole = true;
    } cases[] = {
        {"paged", {}, 60, 3, ""},
        {"capped", capped(60), 0, 3, ""},
        {"unknown", capped(60, true), 0, 3, ""},  // capped without a total
        {"wfs11", {}, 40, 3, ""},
        {"nostart", capped(30), 0, 3, "pomija STARTINDEX"},
        {"nopaging", {}, 40, 3, "nie obsluguje stronicowania"},
        {"nopaging", {}, 40, 0, "niepelne", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.profile) + " " + std::to_string(c.maxSplitDepth));
        kl::test::TempCacheHome freshCache;
        server_->setConfig(c.config);
        TiledFetchOptions o;
        if (c.pageSize) o.pageSize = c.pageSize;
        o.maxSplitDepth = c.maxSplitDepth;
        o.wfs110 = std::string(c.profile) == "wfs11";
        const TiledFetchResult r = fetch("/__profile/" + std::string(c.profile) + kCadastre, "ms:dzialki", o);
        EXPECT_EQ(r.features.size() == std::size_t(demo::kParcels), c.whole) << r.features.size();
        const bool warned = !r.warning.empty() && r.warning.find(c.warning) != std::string::npos;
        EXPECT_EQ(warned, !c.warning.empty()) << r.warning;
        EXPECT_EQ(r.warning.find("niepelne") != std::string::npos, !c.whole) << r.warning;
        // A repeated page is not kept: a later run asks the server again.
        const auto cached = std::distance(std::filesystem::directory_iterator(cacheDir()), {});
        EXPECT_TRUE(std::string(c.profile) != "nostart" || cached == r.requests - 1) << cached;
    }
}

TEST_F(TiledFetch, FailingTilesAreSkippedAndCounted) {
    // The eastern tile answers with an exception report in a 200 body.
    server_->faults().add({{geoportal::FaultKind::Exception}, kCadastre, "261040", -1});
    const TiledFetchResult r = fetch(kCadastre, "ms:dzialki");
    EXPECT_EQ(r.tilesAnswered, 1);
    EXPECT_GT(r.features.size(), 0u);
    EXPECT_LT(r.features.size(), std::size_t(demo::kParcels));
    EXPECT_NE(r.warning.find("1 z 2 kafli bez odpowiedzi (Serwer zwrocil raport bledu OGC zamiast danych.)"),
              std::string::npos)
        << r.warning;
}

// Answers of points "ms:b" at northing-first positions.
std::string member(int n, const std::string& pos) {
    return "<wfs:member><ms:b gml:id=\"b." + std::to_string(n) + "\"><gml:Point srsName=\"urn:ogc:def:crs:EPSG::2180\">"
           "<gml:pos>" + pos + "</gml:pos></gml:Point></ms:b></wfs:member>";
}
std::string collection(int matched, const std::string& members) {
    return "<wfs:FeatureCollection xmlns:wfs=\"http://www.opengis.net/wfs/2.0\" xmlns:ms=\"m\" "
           "xmlns:gml=\"http://www.opengis.net/gml/3.2\" numberMatched=\"" + std::to_string(matched) + "\">" + members +
           "</wfs:FeatureCollection>";
}

TEST(TiledFetchLosses, GeometryLossesOfTheAnswersReachTheWarning) {
    kl::test::TempCacheHome home;
    kl::test::FaultServer server;
    WfsClient client{kl::test::loopbackTimings(), kl::settings::ServiceHosts{}};
    server.reply("/lossy", 200, collection(2, member(1, "486100 637100") + member(2, "486100 1e400")));
    const TiledFetchResult r = getFeatureTiled(client, server.url("/lossy"), "ms:b", {637000, 486000, 637500, 486500},
                                               geo::DataType::Buildings, nullptr);
    EXPECT_EQ(r.features.size(), 1u);
    EXPECT_NE(r.warning.find("Usluga WFS ms:b: Obiekt b b.2: pominieto geometrie"), std::string::npos) << r.warning;
}

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
    const auto line = [](std::vector<geo::Point2d> points) {
        geo::GisFeature f;
        f.lines.push_back(std::move(points));
        return f;
    };
    geo::GisFeature edgePoint;
    edgePoint.hasPoint = true;
    edgePoint.point = {637400, 486300};
    const std::pair<geo::GisFeature, bool> cases[] = {
        {polygon(squareRing(637390, 486290, 50)), true},     {polygon(squareRing(636000, 485000, 5000)), true},
        {polygon(squareRing(486000, 637000, 500)), false},   {edgePoint, true},
        {line({{0, 0}, {637001, 486001}}), true},            {geo::GisFeature{}, false},
        // a zone south of a straight border that crosses the frame north of its centre
        {polygon({{630000, 480000}, {640000, 480000}, {640000, 486200}, {630000, 486200}}), true},
        // a pipe across the frame with both ends far outside; one that passes by
        {line({{636000, 486100}, {638000, 486100}}), true},  {line({{636000, 486400}, {638000, 486500}}), false},
        {line({{0, 0}, {std::nan(""), std::nan("")}}), false}};
    for (std::size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(featureTouchesFrame(cases[i].first, frame), cases[i].second) << i;
}

// Each kind of service (a server profile of the geoportal) is found by the
// variant that reads it, after the variants before it failed, and the next
// fetch (in another frame) runs only that variant.
TEST_F(TiledFetch, EachServiceKindIsFoundInOrderAndRemembered) {
    WfsMemory memory;
    const struct {
        const char* profile;
        WfsVariant variant;
        std::size_t requests;  // of the first fetch
    } cases[] = {
        {"plain", WfsVariant::NorthingFirst, 1},
        {"xy", WfsVariant::EastingFirst, 2},
        {"pl2000", WfsVariant::Pl2000Zone, 3},
        // variants 1, 2 and 3 first, each refused with a 400 that is not retried
        {"wfs11", WfsVariant::Wfs110, 4},
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
        ASSERT_EQ(server_->log().snapshot().size(), c.requests);
        EXPECT_EQ(memory.variants.at(endpoint + "|ms:dzialki"), c.variant);
        const geo::Bbox inner{kTile.minX + 50, kTile.minY + 50, kTile.maxX - 50, kTile.maxY - 50};
        EXPECT_EQ(fetchWfsLayer(client, memory, endpoint, "ms:dzialki", inner, geo::DataType::Parcels, nullptr).variant,
                  c.variant);
        EXPECT_EQ(server_->log().snapshot().size(), c.requests + 1);
    }
}

// Services that ignore BBOX in a way no variant fixes: they answer only
// requests without one. A small whole layer is then read and cut to the
// frame; a whole layer that does not parse is reported.
TEST(WholeLayerFallback, SmallLayerIsCutToTheFrameOrReportedWhenItDoesNotParse) {
    const struct {
        const char* name;
        std::string whole;
        std::size_t features;
        const char* warningStart;
    } cases[] = {
        {"small layer",
         collection(3, member(1, "486100 637100") + member(2, "486200 637200") + member(3, "637100 486100")), 2, ""},
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
                rs.set_content(collection(3, ""), "text/xml");
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
