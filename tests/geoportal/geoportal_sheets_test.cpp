// The sheet files of the local geoportal: LiDAR tiles made once however many
// ask, elevation model sheets as text. (The tiles' points are read back by the
// cloud download tests, with laz-perf beside the add-on's reader.)
#include "tools/geoportal/geoportal_server.h"

#include "tests/geoportal/local_geoportal.h"
#include "tools/geoportal/demo_area.h"
#include "tools/geoportal/elevation_sheets.h"
#include "tools/geoportal/lidar_sheets.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

namespace kl::geoportal {
namespace {

using testing::allBetween;
using testing::countOf;

// The demo frame, northing first with the URN suffix, as the add-on sends it.
const std::string kFrameBox = "382640%2C260400%2C383080%2C261040%2Curn%3Aogc%3Adef%3Acrs%3AEPSG%3A%3A2180";
constexpr double kTestDensity = 0.5;  // small tiles keep the suite fast

std::string pathOf(const std::string& url) {
    const auto scheme = url.find("://");
    return url.substr(url.find('/', scheme + 3));
}

class GeoportalSheetsTest : public testing::LocalGeoportal {
protected:
    static void SetUpTestSuite() {
        ServiceConfig config;
        config.lidarDensity = kTestDensity;
        start("geoportal_sheets_test_cache", config);
    }
    template <class Change>
    static void configure(Change change) {
        ServiceConfig config = suiteConfig;
        change(config);
        server->setConfig(config);
    }
    static LidarSheet sheetOfKind(LidarSheetKind kind) {
        for (const auto& s : lidarSheets(demo::kLidarSheetMetres))
            if (s.kind == kind) return s;
        return {};
    }
    static std::string tilePath(const LidarSheet& sheet) {
        return lidarTilePath({demo::kLidarSheetMetres, kTestDensity}, sheet);
    }
    static std::string elevationIndexQuery(ElevationModelKind model, int year) {
        const std::string code(elevationModelCode(model));
        return std::string(model == ElevationModelKind::Terrain ? demo::kNmtIndexPath : demo::kNmptIndexPath) +
               "?service=WFS&version=2.0.0&request=GetFeature&typenames=gugik%3ASkorowidz" + code +
               std::to_string(year) + "&BBOX=" + kFrameBox;
    }
};

// Three clients ask for a tile nobody generated yet (in a fresh cache): they get
// one complete file, the same bytes the suite's cache holds for that sheet.
TEST_F(GeoportalSheetsTest, SimultaneousFirstDownloadsShareOneCompleteCachedFileAsGeneratedBefore) {
    const std::string path = tilePath(sheetOfKind(LidarSheetKind::Pl2000Zone));
    const auto before = get(path);
    ASSERT_EQ(before.status, 200);
    const std::string fresh = cacheDir + "_together";
    std::filesystem::remove_all(fresh);
    configure([&](ServiceConfig& c) { c.lidarCacheDir = fresh; });
    testing::RawReply replies[3];
    std::vector<std::thread> clients;
    for (auto& reply : replies) clients.emplace_back([&reply, &path] { reply = get(path); });
    for (auto& t : clients) t.join();
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(fresh)) files.push_back(entry.path().filename().string());
    std::filesystem::remove_all(fresh);
    for (const auto& reply : replies) {
        ASSERT_EQ(reply.status, 200);
        EXPECT_TRUE(reply.body == before.body) << "a regenerated tile differs";
    }
    ASSERT_EQ(files.size(), 1u);  // no temporary file left behind
    EXPECT_EQ(files[0].substr(files[0].size() - 4), ".laz");
}

TEST_F(GeoportalSheetsTest, EachModelHasOneYearOfSheetsAndOneYearIsMissing) {
    struct Case {
        ElevationModelKind model;
        int year;
        int status;
        int members;
    };
    const auto nmt = ElevationModelKind::Terrain, nmpt = ElevationModelKind::Surface;
    const Case rows[] = {{nmt, 2027, 200, 0},  {nmt, demo::kElevationMissingYear, 400, 0}, {nmt, 2025, 200, 2},
                         {nmt, 2024, 200, 0},  {nmpt, 2027, 200, 0}, {nmpt, demo::kElevationMissingYear, 400, 0},
                         {nmpt, 2025, 200, 0}, {nmpt, 2024, 200, 2}, {nmpt, 2018, 200, 0}};
    for (const Case& c : rows) {
        const auto r = get(elevationIndexQuery(c.model, c.year));
        EXPECT_EQ(r.status, c.status) << elevationModelCode(c.model) << c.year;
        if (c.status == 200) {
            EXPECT_EQ(countOf(r.body, "<wfs:member>"), c.members) << elevationModelCode(c.model) << c.year;
        }
    }
}

TEST_F(GeoportalSheetsTest, IndexedSheetsAreServedInTheRealForm) {
    for (const auto model : {ElevationModelKind::Terrain, ElevationModelKind::Surface}) {
        const int year = model == ElevationModelKind::Terrain ? demo::kNmtYear : demo::kNmptYear;
        const std::string body = get(elevationIndexQuery(model, year)).body;
        const auto urls = allBetween(body, "<gugik:url_do_pobrania>", "</gugik:url_do_pobrania>");
        const auto& sheets = elevationSheets();
        ASSERT_EQ(urls.size(), sheets.size());
        for (std::size_t i = 0; i < urls.size(); ++i) {
            const std::string path = pathOf(urls[i]);
            const auto r = get(path);
            ASSERT_EQ(r.status, 200) << path;
            EXPECT_EQ(r.body, elevationSheetText(model, sheets[i])) << path;
            EXPECT_EQ(countOf(r.body.substr(0, 200), "\r\n"), 6) << path;
            EXPECT_EQ(r.body.find(sheets[i].centreHeader ? "xllcenter" : "xllcorner") < 100, true) << path;
        }
    }
    EXPECT_EQ(get(std::string(demo::kElevationSheetPathPrefix) + "NMT/asc/1_X.asc").status, 404);
}

}  // namespace
}  // namespace kl::geoportal
