// Map image tiles: how a frame is cut, which image sizes are asked for, what
// counts as an image, and what a failing server leaves behind.
#include "net/image_probe.h"
#include "net/raster_tiles.h"
#include "net/url_text.h"
#include "tests/net/fault_server.h"
#include "tools/geoportal/image_codec.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>
#include <vector>

namespace kl::net {
namespace {

std::string png(int width, int height) {
    return geoportal::encodePng(geoportal::Canvas(width, height, {40, 120, 60, 255}), false);
}
std::string jpeg(int width, int height) {
    return geoportal::encodeJpeg(geoportal::Canvas(width, height, {40, 120, 60, 255}), 85);
}

TEST(RasterLayout, TilesPerAxisAreCutToFourAndRunFromTheSouthWestTheirImagesNoWiderThanTheServerTakes) {
    const struct {
        const char* name;
        double width, height, metresPerPixel;
        int nx, ny;
        bool cut;
        long long reachedScale;
    } cases[] = {
        {"2000x1000 at 1:1000", 2000, 1000, 0.28, 2, 1, false, 1000},
        {"10 km wide at 1:250", 10000, 500, 0.07, 4, 2, true, 2179},
        {"2 km x 20 km at 1:250", 2000, 20000, 0.07, 4, 4, true, 4359},
        {"small orthophoto", 300, 200, 0.25, 1, 1, false, 892},
    };
    for (const auto& c : cases) {
        const RasterLayout l = rasterLayout(c.width, c.height, c.metresPerPixel);
        EXPECT_EQ(std::tie(l.nx, l.ny, l.cut), std::tie(c.nx, c.ny, c.cut)) << c.name;
        EXPECT_EQ(static_cast<long long>(l.reachedMetresPerPixel / kStandardPixelMetres + 1e-9), c.reachedScale)
            << c.name;
    }
    // The tiles run from the south-west, row by row, and end on the box.
    const std::vector<geo::Bbox> tiles = rasterTileBoxes({100, 200, 400.3, 300.7}, 3, 2);
    std::vector<std::string> got;
    for (const geo::Bbox& t : tiles)
        got.push_back(formatNumber(t.minX, 10) + " " + formatNumber(t.minY, 10) + " " + formatNumber(t.maxX, 10) + " " +
                      formatNumber(t.maxY, 10));
    EXPECT_EQ(got, (std::vector<std::string>{"100 200 200.1 250.35", "200.1 200 300.2 250.35", "300.2 200 400.3 250.35",
                                             "100 250.35 200.1 300.7", "200.1 250.35 300.2 300.7",
                                             "300.2 250.35 400.3 300.7"}));
    EXPECT_TRUE(tiles[1].minX == tiles[0].maxX && tiles[2].maxX == 400.3 && tiles[5].maxY == 300.7) << "exact joins";
    // Image widths halve while wide enough; no side exceeds the server limit.
    const struct {
        const char* name;
        double tileWidth, tileHeight, metresPerPixel;
        std::vector<std::pair<int, int>> sizes;
    } attempts[] = {
        {"1000 m at 1:1000", 1000, 1000, 0.28, {{3571, 3571}, {1785, 1785}, {892, 892}}},
        {"over the limit", 1200, 600, 0.25, {{4096, 2048}, {2048, 1024}, {1024, 512}, {512, 256}}},
        // Unbounded, the height would be 40 960 px at every halving.
        {"tall tile", 500, 5000, 0.07, {{409, 4090}}},
        {"tall but wide enough", 2000, 4000, 0.25, {{2048, 4096}, {1024, 2048}, {512, 1024}}},
        // Clamped up to 256..511 px: asked once instead of never.
        {"small tile", 100, 80, 0.25, {{400, 320}}},
        {"tiny tile", 10, 10, 0.25, {{256, 256}}},
    };
    for (const auto& c : attempts) {
        std::vector<std::pair<int, int>> sizes;
        for (const auto s : tileAttemptSizes(c.tileWidth, c.tileHeight, c.metresPerPixel))
            sizes.emplace_back(s.width, s.height);
        EXPECT_EQ(sizes, c.sizes) << c.name;
    }
    // The county rasters' resolution follows the scale within its range.
    EXPECT_DOUBLE_EQ(countyRasterMetresPerPixel(500), 0.14);
    EXPECT_DOUBLE_EQ(countyRasterMetresPerPixel(50), 0.28);
    EXPECT_DOUBLE_EQ(countyRasterMetresPerPixel(20000), 0.28);
}

TEST(ImageProbe, OnlyWholeImagesOfTheirFormatPass) {
    const std::string good = png(33, 17), photo = jpeg(40, 24);
    std::string flipped = good;
    flipped[good.size() / 2] = static_cast<char>(flipped[good.size() / 2] ^ 0x55);
    const struct {
        const char* name;
        std::string body;
        const char* mime;  // nullptr: refused
        int width, height;
    } cases[] = {
        {"png", good, "image/png", 33, 17},
        {"jpeg", photo, "image/jpeg", 40, 24},
        {"png cut short", good.substr(0, good.size() / 2), nullptr, 0, 0},
        {"png without its end", good.substr(0, good.size() - 12), nullptr, 0, 0},
        {"png with a changed byte", flipped, nullptr, 0, 0},
        {"jpeg cut short", photo.substr(0, photo.size() / 2), nullptr, 0, 0},
        {"jpeg magic then garbage", photo.substr(0, 2) + std::string(500, 'x') + "\xff\xd9", nullptr, 0, 0},
    };
    for (const auto& c : cases) {
        const auto info = probeImage(c.body);
        ASSERT_EQ(info.has_value(), c.mime != nullptr) << c.name;
        if (!info) continue;
        EXPECT_EQ(std::tie(info->mimeType, info->width, info->height), std::tuple(c.mime, c.width, c.height)) << c.name;
    }
}

// One tile of 256 m at 0.25 m/px: 1024 px, then 512 px.
const geo::Bbox kOneTile{260400, 382640, 260656, 382896};

struct Fetched {
    RasterFetchResult result;
    int requests = 0;
};

// Against a map server that `serve` sets up at /wms.
Fetched fetchFrom(const std::function<void(test::FaultServer&)>& serve, const geo::Bbox& frame = kOneTile) {
    test::FaultServer server;
    serve(server);
    HttpTimings timings;
    timings.hostSpacingMs = 0;
    WfsClient client(timings, server.hosts());
    const RasterSource source{server.url("/wms"), "Raster", kOrthophotoMetresPerPixel, geo::DataType::Rasters, 2180};
    RasterFetchResult result = fetchRasterTiles(client, frame, source, nullptr);
    return {std::move(result), server.hits("/wms")};
}

// Answers in turn to the attempts of 1024 and 512 px. (What passes for an
// image is the probe's table above.)
TEST(RasterFetch, EachFaultIsAFailedAttemptOnlyAWholeImageIsKeptAndTilesComeInOrder) {
    const std::string half = png(512, 512);
    const struct {
        const char* name;
        test::FaultServer::Answers answers;
        int tiles, requests, keptWidth;
        const char* mime;
    } cases[] = {
        {"image of another size", {{200, half}, {200, png(256, 256)}}, 0, 2, 0, nullptr},
        {"exception report, then whole at half the width",
         {{200, "<?xml version='1.0'?><ServiceExceptionReport/>"}, {200, half}}, 1, 2, 512, "image/png"},
        {"jpeg although png was asked", {{200, jpeg(1024, 1024)}}, 1, 1, 1024, "image/jpeg"},
    };
    for (const auto& c : cases) {
        const Fetched fetched = fetchFrom([&](test::FaultServer& s) { s.answers("/wms", c.answers, "image/png"); });
        const RasterFetchResult& got = fetched.result;
        ASSERT_EQ(static_cast<int>(got.tiles.size()), c.tiles) << c.name;
        EXPECT_EQ(got.tilesAsked, 1) << c.name;
        EXPECT_EQ(fetched.requests, c.requests) << c.name;
        if (c.tiles == 0) continue;
        const RasterTile& t = got.tiles[0];
        EXPECT_EQ(t.mimeType, c.mime) << c.name;
        EXPECT_EQ(probeImage(t.image)->width, c.keptWidth) << c.name;
        EXPECT_EQ(t.box, kOneTile) << c.name;
        EXPECT_EQ(t.epsg, 2180) << c.name;
    }
    // Tiles come in order, with the report line and the warning of a cut frame.
    const auto image = [](test::FaultServer& s) {
        s.on("/wms", [](const httplib::Request& rq, httplib::Response& rs) {
            rs.set_content(png(std::stoi(rq.get_param_value("WIDTH")), std::stoi(rq.get_param_value("HEIGHT"))), "image/png");
        });
    };
    // 1100 m x 40 m at 0.25 m/px: 4400 px wide, so two tiles side by side.
    const Fetched two = fetchFrom(image, {260000, 380000, 261100, 380040});
    ASSERT_EQ(two.result.tiles.size(), 2u);
    EXPECT_EQ(two.result.warning, "");
    EXPECT_EQ(two.result.reportLine, "KARTOLINK: rastr rastry: kadr 1100x40 m, gestosc 0.25 m/px (1:892), platki 2x1");
    // 5 km at 0.25 m/px would need five tiles across.
    const Fetched cut = fetchFrom(image, {260000, 380000, 265000, 380010});
    EXPECT_EQ(cut.result.tilesAsked, 4);
    EXPECT_EQ(cut.result.warning, "Kadr bardzo szeroki - rastry rastry ograniczone do 4 platek (ok. 1:1089).");
}

}  // namespace
}  // namespace kl::net
