// The sheet indexes of the local geoportal and the files they point at: LiDAR
// tiles decoded with the add-on's own reader, elevation model sheets as text.
#include "tools/geoportal/geoportal_server.h"

#include "cloud/las/las_reader.h"
#include "tests/geoportal/local_geoportal.h"
#include "tools/geoportal/crs.h"
#include "tools/geoportal/demo_area.h"
#include "tools/geoportal/elevation_sheets.h"
#include "tools/geoportal/lidar_sheets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <thread>

namespace kl::geoportal {
namespace {

using testing::allBetween;
using testing::countOf;

const std::string kIndex(demo::kLidarIndexPath);
// The demo frame, northing first with the URN suffix, as the add-on sends it.
const std::string kFrameBox = "382640%2C260400%2C383080%2C261040%2Curn%3Aogc%3Adef%3Acrs%3AEPSG%3A%3A2180";
constexpr double kTestDensity = 0.5;  // small tiles keep the suite fast

std::string indexQuery(int year, const std::string& extra) {
    return kIndex + "?service=WFS&version=2.0.0&request=GetFeature&typenames=gugik%3ASkorowidzDanychPomiarowychLIDAR" +
           std::to_string(year) + extra;
}

std::string pathOf(const std::string& url) {
    const auto scheme = url.find("://");
    return url.substr(url.find('/', scheme + 3));
}

struct DecodedTile {
    las::LasHeader header;
    std::vector<las::LasPointView> points;
    std::string message;
};

DecodedTile decode(const std::string& bytes) {
    DecodedTile t;
    las::LasReader reader;
    auto st = reader.openMemory(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), "kafel");
    if (!st) {
        t.message = st.message;
        return t;
    }
    t.header = reader.header();
    std::vector<uint8_t> records;
    if (st = reader.readAll(&records); !st) {
        t.message = st.message;
        return t;
    }
    for (size_t at = 0; at + t.header.recordLength <= records.size(); at += t.header.recordLength)
        t.points.push_back(las::viewPoint(records.data() + at, t.header.pointFormat));
    return t;
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
    // Download paths of the demo year's sheets, keyed by godlo.
    static std::vector<std::pair<std::string, std::string>> sheetUrls() {
        auto body = get(indexQuery(demo::kLidarYear, "&COUNT=1000&BBOX=" + kFrameBox)).body;
        auto names = allBetween(body, "<gugik:godlo>", "</gugik:godlo>");
        auto urls = allBetween(body, "<gugik:url_do_pobrania>", "</gugik:url_do_pobrania>");
        std::vector<std::pair<std::string, std::string>> out;
        for (size_t i = 0; i < std::min(names.size(), urls.size()); ++i) out.emplace_back(names[i], urls[i]);
        return out;
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

TEST_F(GeoportalSheetsTest, EachKindOfTileDecodesWithItsCountInsideItsSheet) {
    const auto urls = sheetUrls();
    ASSERT_EQ(urls.size(), static_cast<size_t>(demo::kLidarSheets));
    const uint64_t expected = lidarTilePointCount({demo::kLidarSheetMetres, kTestDensity});
    for (auto kind : {LidarSheetKind::Pl1992, LidarSheetKind::Pl2000Zone, LidarSheetKind::EightBitColour}) {
        const LidarSheet sheet = sheetOfKind(kind);
        auto listed = std::find_if(urls.begin(), urls.end(), [&](const auto& u) { return u.first == sheet.godlo; });
        ASSERT_NE(listed, urls.end()) << sheet.godlo;
        auto r = get(pathOf(listed->second));
        ASSERT_EQ(r.status, 200) << sheet.godlo;
        EXPECT_EQ(r.contentLength, static_cast<long long>(r.body.size()));
        const DecodedTile tile = decode(r.body);
        ASSERT_TRUE(tile.message.empty()) << tile.message;
        EXPECT_TRUE(tile.header.compressed);
        EXPECT_EQ(tile.header.pointFormat, kind == LidarSheetKind::Pl2000Zone ? 7 : 3);
        EXPECT_EQ(tile.header.pointCount, expected);
        ASSERT_EQ(tile.points.size(), expected);
        const auto& h = tile.header;
        uint16_t maxColour = 0;
        size_t outside = 0, badHeight = 0;
        std::set<uint8_t> classes;
        for (const auto& p : tile.points) {
            Xy q{p.x * h.scale[0] + h.offset[0], p.y * h.scale[1] + h.offset[1]};
            q = toPl1992(sheet.epsg(), q);
            const double z = p.z * h.scale[2] + h.offset[2];
            const Box& b = sheet.bounds;
            if (q.x < b.minX - 0.02 || q.x > b.maxX + 0.02 || q.y < b.minY - 0.02 || q.y > b.maxY + 0.02) ++outside;
            if (z < demo::kLidarMinHeight || z > demo::kLidarMaxHeight) ++badHeight;
            maxColour = std::max({maxColour, p.red, p.green, p.blue});
            classes.insert(p.classification);
        }
        EXPECT_EQ(outside, 0u) << sheet.godlo;
        EXPECT_EQ(badHeight, 0u) << sheet.godlo;
        EXPECT_GT(classes.size(), 1u) << sheet.godlo;
        if (kind == LidarSheetKind::EightBitColour) {
            EXPECT_LE(maxColour, 255) << sheet.godlo;
            EXPECT_GT(maxColour, 64) << sheet.godlo;
        } else {
            EXPECT_GT(maxColour, 255) << sheet.godlo;
        }
        // The zone sheet is really in PL-2000 zone 6: eastings of the 6 500 000 false origin.
        if (kind == LidarSheetKind::Pl2000Zone) EXPECT_GT(h.min[0], 6000000.0);
        else EXPECT_LT(h.max[0], 300000.0);
    }
}

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
    EXPECT_EQ(decode(replies[0].body).points.size(), lidarTilePointCount({demo::kLidarSheetMetres, kTestDensity}));
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
