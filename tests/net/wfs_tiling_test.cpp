// GetFeature requests, and the frame fetched tile by tile from an in-test WFS
// that behaves as county services do.
#include "net/wfs_requests.h"
#include "net/wfs_tiling.h"

#include "net/download_cache.h"
#include "tests/net/mini_wfs.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <set>
#include <sstream>

namespace kl::net {
namespace {

using kl::test::MiniFeature;
using kl::test::MiniWfs;
using kl::test::MiniWfsBehaviour;
using kl::test::squareRing;

// 1.2 km x 0.7 km in Warsaw.
const geo::Bbox kFrame{637000, 486000, 638200, 486700};

// Each request as the parameters give it: what its URL holds (a piece of it,
// or the whole when it starts with the base) and what it must not hold.
TEST(GetFeatureUrl, FollowsTheVersionAxisOrderPagingAndSystem) {
    const auto params = [](const char* base, const char* type, auto&& change) {
        GetFeatureParams p;
        p.baseUrl = base;
        p.typeName = type;
        p.frame = {637000.5, 486000.25, 638200.5, 486700.25};
        change(p);
        return p;
    };
    const struct {
        const char* name;
        GetFeatureParams params;
        std::string holds, lacks;
    } cases[] = {
        {"WFS 2.0 northing first in 2180", params("https://county.example/wfs", "ms:dzialki", [](auto&) {}),
         "https://county.example/wfs?service=WFS&version=2.0.0&request=GetFeature&typenames=ms%3Adzialki"
         "&COUNT=1000&BBOX=486000.25%2C637000.5%2C486700.25%2C638200.5%2Curn%3Aogc%3Adef%3Acrs%3AEPSG%3A%3A2180",
         "SRSNAME"},
        {"easting first, a start index and an existing query",
         params("https://county.example/cgi-bin/x?map=egib", "budynki",
                [](auto& p) {
                    p.count = 500;
                    p.startIndex = 1500;
                    p.northingFirst = false;
                }),
         "https://county.example/cgi-bin/x?map=egib&service=WFS&version=2.0.0&request=GetFeature&typenames=budynki"
         "&COUNT=500&STARTINDEX=1500&BBOX=637000.5%2C486000.25%2C638200.5%2C486700.25%2Curn%3Aogc%3Adef%3Acrs"
         "%3AEPSG%3A%3A2180",
         ""},
        {"WFS 1.1.0 uses maxFeatures and never pages", params("http://h/wfs", "ewns:dzialki", [](auto& p) {
             p.startIndex = 1000;
             p.wfs110 = true;
         }),
         "?service=WFS&version=1.1.0&request=GetFeature&typename=ewns%3Adzialki&maxFeatures=1000&BBOX=", "STARTINDEX"},
        {"ten significant digits", params("http://h/wfs", "t", [](auto& p) {
             p.frame = {637000.123456, 486000.987654, 637500.5, 486500.5};
             p.northingFirst = false;
         }),
         "BBOX=637000.1235%2C486000.9877%2C637500.5%2C486500.5%2C", ""},
        // The box itself is the polish_crs tests' (all four corners converted).
        {"PL-2000 names its system", params("http://h/wfs", "t", [](auto& p) { p.epsg = 2176; }),
         "&SRSNAME=EPSG%3A2176&BBOX=", "EPSG%3A%3A2180"},
        {"other codes fall back to 2180", params("http://h/wfs", "t", [](auto& p) { p.epsg = 4326; }),
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
}

TEST(Tiles, FollowTheCeilingOfEachSideColumnByColumnClippedToTheFrame) {
    const std::pair<geo::Bbox, std::size_t> counts[] = {{{0, 0, 1200, 300}, 3}, {{0, 0, 500, 500}, 1},
                                                        {{0, 0, 1200, 700}, 6}, {{0, 0, 500.01, 500}, 2},
                                                        {{0, 0, 10, 0}, 1},     {{5, 0, 5, 100}, 0},
                                                        {{5, 0, 4, 100}, 0}};
    for (const auto& [frame, tiles] : counts) EXPECT_EQ(tilesFor(frame).size(), tiles) << frame.maxX << " " << frame.maxY;
    const std::vector<geo::Bbox> expected = {
        {637000, 486000, 637500, 486500}, {637000, 486500, 637500, 486700}, {637500, 486000, 638000, 486500},
        {637500, 486500, 638000, 486700}, {638000, 486000, 638200, 486500}, {638000, 486500, 638200, 486700}};
    EXPECT_EQ(tilesFor(kFrame), expected);
}

class TiledFetch : public ::testing::Test {
protected:
    kl::test::TempCacheHome home;
    kl::test::FaultServer server;
    // No override: some tests ask servers of their own, each by its URL.
    WfsClient client{kl::test::loopbackTimings(), kl::settings::ServiceHosts{}};
};

std::vector<MiniFeature> grid(double x0, double y0, int nx, int ny, double step, const std::string& prefix) {
    std::vector<MiniFeature> out;
    for (int i = 0; i < nx; ++i)
        for (int j = 0; j < ny; ++j)
            out.push_back({prefix + std::to_string(i) + "_" + std::to_string(j),
                           squareRing(x0 + i * step, y0 + j * step, step * 0.5), {}, {}});
    return out;
}

TEST_F(TiledFetch, FrameMakesSixRequestsWithTheTileBoxes) {
    MiniWfs wfs(server, "/wfs", "ms:dzialki", grid(637010, 486010, 24, 14, 50, "d"));
    std::vector<std::pair<int, int>> progress;
    const TiledFetchResult r = getFeatureTiled(client, wfs.endpoint(), "ms:dzialki", kFrame, geo::DataType::Parcels,
                                               [&](int d, int t) { progress.emplace_back(d, t); });
    EXPECT_EQ(r.tiles, 6);
    EXPECT_EQ(r.tilesAnswered, 6);
    EXPECT_EQ(r.requests, 6);
    EXPECT_EQ(r.features.size(), 24u * 14u);
    EXPECT_EQ(r.warning, "");
    EXPECT_EQ(progress.size(), 6u);
    EXPECT_EQ(progress.back(), std::make_pair(6, 6));
    ASSERT_EQ(wfs.requests().size(), 6u);
    EXPECT_EQ(wfs.requests()[1].at("bbox"), "486500,637000,486700,637500,urn:ogc:def:crs:EPSG::2180");

    // The same frame again costs no traffic: every tile comes from the cache.
    const TiledFetchResult again =
        getFeatureTiled(client, wfs.endpoint(), "ms:dzialki", kFrame, geo::DataType::Parcels, nullptr);
    EXPECT_EQ(again.features.size(), r.features.size());
    EXPECT_EQ(wfs.requests().size(), 6u);
}

TEST_F(TiledFetch, FeaturesOnTileEdgesComeOnceWithOrWithoutIds) {
    std::vector<MiniFeature> f;
    f.push_back({"dzialki.edge", squareRing(637480, 486100, 40), {}, {}});       // crosses x = 637500
    f.push_back({"dzialki.corner", squareRing(637490, 486490, 20), {}, {}});     // four tiles
    f.push_back({"", squareRing(637980, 486200, 40), {}, {}});                   // no id, crosses x = 638000
    f.push_back({"dzialki.inner", squareRing(637100, 486100, 10), {}, {}});
    MiniWfs wfs(server, "/wfs", "ms:dzialki", f);
    const TiledFetchResult r =
        getFeatureTiled(client, wfs.endpoint(), "ms:dzialki", kFrame, geo::DataType::Parcels, nullptr);
    EXPECT_EQ(r.features.size(), 4u);
    EXPECT_EQ(r.duplicatesDropped, 1 + 3 + 1);
    std::multiset<std::string> ids;
    for (const auto& feat : r.features) ids.insert(feat.attributes.count("gml_id") ? feat.attributes.at("gml_id") : "");
    EXPECT_EQ(ids.count("dzialki.corner"), 1u);
    EXPECT_EQ(ids.count(""), 1u);
}

// A dense tile is paged with STARTINDEX; without a total a short page proves
// nothing, so a capped server is asked until it answers an empty page; WFS
// 1.1.0 cannot page, so full answers are split.
TEST_F(TiledFetch, EveryFeatureOfADenseTileComesWithoutAWarning) {
    const struct {
        const char* name;
        MiniWfsBehaviour behaviour;
        int pageSize;
        bool wfs110;
        std::vector<MiniFeature> features;
        std::vector<std::string> startIndexes;  // of every request ("-": none); empty: not checked
    } cases[] = {
        {"paged", {}, 10, false, grid(637010, 486010, 5, 5, 20, "b"), {"-", "10", "20"}},
        {"capped", {.cap = 7}, 0, false, grid(637010, 486010, 4, 5, 20, "b"), {"-", "7", "14"}},  // 7 + 7 + 6
        {"capped without a total", {.cap = 7, .withNumberMatched = false}, 0, false, grid(637010, 486010, 4, 5, 20, "b"),
         {"-", "7", "14", "20"}},  // 7 + 7 + 6 + 0
        {"WFS 1.1.0", {}, 20, true, grid(637010, 486010, 6, 6, 80, "p"), {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        kl::test::FaultServer dense;
        MiniWfs wfs(dense, "/wfs", "ms:budynki", c.features, c.behaviour);
        TiledFetchOptions o;
        if (c.pageSize) o.pageSize = c.pageSize;
        o.wfs110 = c.wfs110;
        const TiledFetchResult r = getFeatureTiled(client, wfs.endpoint(), "ms:budynki",
                                                   {637000, 486000, 637500, 486500}, geo::DataType::Buildings, nullptr, o);
        EXPECT_EQ(r.features.size(), c.features.size());
        EXPECT_EQ(r.warning, "");
        std::vector<std::string> startIndexes;
        for (const auto& q : wfs.requests()) {
            startIndexes.push_back(q.count("startindex") ? q.at("startindex") : "-");
            EXPECT_EQ(q.at("version"), c.wfs110 ? "1.1.0" : "2.0.0");
        }
        if (!c.startIndexes.empty()) {
            EXPECT_EQ(startIndexes, c.startIndexes);
        }
    }
}

TEST_F(TiledFetch, ServerIgnoringStartIndexIsSplitAfterOneRepeatedPage) {
    MiniWfsBehaviour b;
    b.cap = 7;
    b.ignoresStartIndex = true;
    MiniWfs wfs(server, "/wfs", "ms:budynki", grid(637010, 486010, 4, 5, 100, "b"), b);
    const TiledFetchResult r = getFeatureTiled(client, wfs.endpoint(), "ms:budynki", {637000, 486000, 637500, 486500},
                                               geo::DataType::Buildings, nullptr);
    EXPECT_EQ(r.features.size(), 20u);
    EXPECT_NE(r.warning.find("pomija STARTINDEX"), std::string::npos) << r.warning;
    EXPECT_EQ(r.warning.find("niepelne"), std::string::npos) << r.warning;
    EXPECT_LT(r.requests, 30);
    // The repeated page is not kept: a later run asks the server again.
    const auto cached = std::distance(std::filesystem::directory_iterator(cacheDir()), {});
    EXPECT_EQ(cached, r.requests - 1);
}

TEST_F(TiledFetch, GeometryLossesOfTheAnswersReachTheWarning) {
    server.on("/lossy", [](const httplib::Request&, httplib::Response& rs) {
        rs.set_content("<wfs:FeatureCollection xmlns:wfs=\"http://www.opengis.net/wfs/2.0\" "
                       "xmlns:gml=\"http://www.opengis.net/gml/3.2\" xmlns:ms=\"m\" numberMatched=\"2\" "
                       "numberReturned=\"2\"><wfs:member><ms:b gml:id=\"b.1\"><gml:Point><gml:pos>486100 637100"
                       "</gml:pos></gml:Point></ms:b></wfs:member><wfs:member><ms:b gml:id=\"b.2\"><gml:Point>"
                       "<gml:pos>486100 1e400</gml:pos></gml:Point></ms:b></wfs:member></wfs:FeatureCollection>",
                       "text/xml");
    });
    const TiledFetchResult r = getFeatureTiled(client, server.url("/lossy"), "ms:b", {637000, 486000, 637500, 486500},
                                               geo::DataType::Buildings, nullptr);
    EXPECT_EQ(r.features.size(), 1u);
    EXPECT_NE(r.warning.find("Usluga WFS ms:b: Obiekt b b.2: pominieto geometrie"), std::string::npos) << r.warning;
}

// A service that refuses STARTINDEX gets split tiles and a warning; features
// too dense for any split (40 within 10 m) are reported as cut.
TEST_F(TiledFetch, ServiceRefusingPagesGetsSplitTilesAndAWarningOrIsReportedAsCut) {
    std::vector<MiniFeature> dense;
    for (int i = 0; i < 40; ++i) dense.push_back({"b" + std::to_string(i), {}, {637100.0 + i * 0.2, 486100}, {}});
    const struct {
        std::vector<MiniFeature> features;
        std::size_t atLeast;
        const char* warning;
        bool cut;
    } cases[] = {{grid(637010, 486010, 5, 5, 90, "b"), 25, "nie obsluguje stronicowania", false},
                 {dense, 10, "niepelne dane", true}};
    for (const auto& c : cases) {
        kl::test::FaultServer refusing;
        MiniWfsBehaviour b;
        b.refusesPaging = true;
        MiniWfs wfs(refusing, "/wfs", "ms:budynki", c.features, b);
        TiledFetchOptions o;
        o.pageSize = 10;
        const TiledFetchResult r = getFeatureTiled(client, wfs.endpoint(), "ms:budynki",
                                                   {637000, 486000, 637500, 486500}, geo::DataType::Buildings, nullptr, o);
        EXPECT_GE(r.features.size(), c.atLeast);
        EXPECT_TRUE(c.cut || r.features.size() == c.atLeast) << r.features.size();
        EXPECT_NE(r.warning.find(c.warning), std::string::npos) << r.warning;
        EXPECT_EQ(r.warning.find("niepelne") != std::string::npos, c.cut) << r.warning;
    }
}

TEST_F(TiledFetch, FailingTilesAreSkippedAndCounted) {
    MiniWfs wfs(server, "/wfs", "ms:dzialki", grid(637010, 486010, 24, 14, 50, "d"));
    server.on("/half", [&](const httplib::Request& rq, httplib::Response& rs) {
        // Every second tile answers with an exception report in a 200 body.
        const std::string bbox = rq.get_param_value("BBOX");
        if (bbox.find(",637500,") == 6) {
            rs.set_content("<ows:ExceptionReport xmlns:ows=\"o\"/>", "text/xml");
            return;
        }
        wfs.answer(rq, rs);
    });
    const TiledFetchResult r =
        getFeatureTiled(client, server.url("/half"), "ms:dzialki", kFrame, geo::DataType::Parcels, nullptr);
    EXPECT_EQ(r.tilesAnswered, 4);
    EXPECT_EQ(r.features.size(), 24u * 14u - 10u * 14u);
    EXPECT_NE(r.warning.find("2 z 6 kafli bez odpowiedzi (Serwer zwrocil raport bledu OGC zamiast danych.)"),
              std::string::npos)
        << r.warning;
}

}  // namespace
}  // namespace kl::net
