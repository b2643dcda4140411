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

TEST_F(TiledFetch, DenseTileIsPagedWithStartIndex) {
    MiniWfs wfs(server, "/wfs", "ms:budynki", grid(637010, 486010, 5, 5, 20, "b"));
    TiledFetchOptions o;
    o.pageSize = 10;
    const TiledFetchResult r = getFeatureTiled(client, wfs.endpoint(), "ms:budynki", {637000, 486000, 637500, 486500},
                                               geo::DataType::Buildings, nullptr, o);
    EXPECT_EQ(r.features.size(), 25u);
    const auto reqs = wfs.requests();
    ASSERT_EQ(reqs.size(), 3u);
    EXPECT_EQ(reqs[0].count("startindex"), 0u);
    EXPECT_EQ(reqs[1].at("startindex"), "10");
    EXPECT_EQ(reqs[2].at("startindex"), "20");
    EXPECT_EQ(r.warning, "");
}

// Without a total a short page proves nothing: the server is asked until it
// answers an empty page.
TEST_F(TiledFetch, CappedServerIsPagedUntilEveryFeatureCame) {
    for (const auto& [withNumberMatched, requests] : {std::pair{true, 3u},      // 7 + 7 + 6
                                                      std::pair{false, 4u}}) {  // 7 + 7 + 6 + 0
        kl::test::FaultServer capped;
        MiniWfsBehaviour b;
        b.cap = 7;
        b.withNumberMatched = withNumberMatched;
        MiniWfs wfs(capped, "/wfs", "ms:budynki", grid(637010, 486010, 4, 5, 20, "b"), b);
        const TiledFetchResult r = getFeatureTiled(client, wfs.endpoint(), "ms:budynki",
                                                   {637000, 486000, 637500, 486500}, geo::DataType::Buildings, nullptr);
        EXPECT_EQ(r.features.size(), 20u);
        EXPECT_EQ(wfs.requests().size(), requests);
        EXPECT_EQ(r.warning, "");
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

TEST_F(TiledFetch, Wfs110AnswersAreSplitWhenFullAndMerged) {
    MiniWfs wfs(server, "/wfs", "ewns:dzialki", grid(637010, 486010, 6, 6, 80, "p"));
    TiledFetchOptions o;
    o.wfs110 = true;
    o.pageSize = 20;
    const TiledFetchResult r = getFeatureTiled(client, wfs.endpoint(), "ewns:dzialki", {637000, 486000, 637500, 486500},
                                               geo::DataType::Parcels, nullptr, o);
    EXPECT_EQ(r.features.size(), 36u);
    for (const auto& q : wfs.requests()) EXPECT_EQ(q.at("version"), "1.1.0");
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
