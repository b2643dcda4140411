// The local geoportal as its clients see it: map images (read by GDAL),
// refusals, faults, the base-map style, LiDAR tiles and its loopback binding.
#include "tools/geoportal/geoportal_server.h"

#include "tests/support/command_output.h"
#include "tests/support/geoportal_suite.h"
#include "tools/geoportal/demo_area.h"
#include "tools/geoportal/lidar_sheets.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>
#include <tuple>

namespace kl::geoportal {
namespace {

const std::string kEgib = "/wss/ext/PowiatoweBazyEwidencjiGruntow/0201";
const std::string kGesut = "/wss/ext/PowiatoweBazyUzbrojeniaTerenu/0201";
const std::string kOrto = "/wss/service/PZGIK/ORTO/WMS/StandardResolution";
constexpr double kTestDensity = 0.5;  // small LiDAR tiles keep the suite fast

// The shared suite's server, its LiDAR tiles small and cached in a folder of
// its own in the build tree.
class GeoportalServerTest : public test::GeoportalSuite {
protected:
    static void TearDownTestSuite() {
        GeoportalSuite::TearDownTestSuite();
        std::filesystem::remove_all(cacheDir());
    }
    void SetUp() override {
        GeoportalSuite::SetUp();
        server_->setConfig(config());
    }
    static ServiceConfig config() { return {.lidarDensity = kTestDensity, .lidarCacheDir = cacheDir()}; }
    static std::string cacheDir() { return std::string(KL_BINARY_DIR) + "/geoportal_server_test_cache"; }
    struct Reply {
        int status = 0;
        std::string body, type;
    };
    static Reply get(const std::string& target) {
        httplib::Client client("127.0.0.1", server_->port());
        client.set_read_timeout(60, 0);
        const auto r = client.Get(target);
        return r ? Reply{r->status, r->body, r->get_header_value("Content-Type")} : Reply{};
    }
};

// GDAL's reading of an image body: "<driver> <width>x<height>", and whether
// its first band varies (something of the site is drawn); "" when unreadable.
std::string gdalImageSummary(const std::string& body, const std::string& name) {
    const std::string path = ::testing::TempDir() + name;
    std::ofstream(path, std::ios::binary) << body;
    const auto info = nlohmann::json::parse(test::runCommand("gdalinfo -json -stats '" + path + "' 2>/dev/null").out,
                                            nullptr, false);
    std::filesystem::remove(path);
    std::filesystem::remove(path + ".aux.xml");
    if (info.is_discarded() || !info.contains("size")) return {};
    const bool drawn = info["bands"][0].value("stdDev", 0.0) > 1;
    return info.value("driverShortName", "") + " " + info["size"][0].dump() + "x" + info["size"][1].dump() +
           (drawn ? " drawn" : " blank");
}

TEST_F(GeoportalServerTest, GetMapReturnsDecodableImagesOfTheRequestedSize) {
    const struct {
        std::string path, layers, format, srs, bbox;
        int width, height;
    } cases[] = {
        {kEgib, "dzialki,budynki,numery_dzialek", "png", "EPSG%3A2180", "260400,382640,261040,383080", 640, 440},
        {kOrto, "Raster", "jpeg", "EPSG%3A2180", "260400,382640,261040,383080", 1000, 700},
        {kGesut, "gesut", "png", "EPSG%3A2176", "5539390,5680700,5540060,5681220", 512, 384},
        {kOrto, "Raster", "png", "EPSG%3A3857", "1732600,6667400,1733700,6668200", 256, 256},
    };
    for (const auto& c : cases) {
        const std::string size = std::to_string(c.width) + "x" + std::to_string(c.height);
        SCOPED_TRACE(c.layers + " " + c.srs + " " + size);
        auto r = get(c.path + "?service=WMS&version=1.1.1&request=GetMap&layers=" + c.layers + "&styles=&format=image%2F" +
                     c.format + "&transparent=true&SRS=" + c.srs + "&WIDTH=" + std::to_string(c.width) +
                     "&HEIGHT=" + std::to_string(c.height) + "&BBOX=" + c.bbox);
        ASSERT_EQ(r.status, 200);
        EXPECT_EQ(r.type, "image/" + c.format);
        EXPECT_EQ(gdalImageSummary(r.body, "tile." + c.format),
                  (c.format == "jpeg" ? "JPEG " : "PNG ") + size + " drawn");
    }
}

const std::string kCaps = kEgib + "?service=WFS&request=GetCapabilities";

// Each step adds its fault through the control endpoint (if any), then asks:
// a fault answers as often as its count says and only under its path, then the
// server recovers. (Text matches and the other kinds reach clients through the
// fault table in the network and import tests.) Refusals come in each
// service's own form: WFS ones as exception reports with status 400, WMS ones
// as service exceptions with status 200, as the real services send them.
TEST_F(GeoportalServerTest, InjectedFaultsShapeTheAnswersTheyMatch) {
    const auto status = [](int s) { return [s](const Reply& r) { return r.status == s; }; };
    const auto refused = [](int s, const std::string& text) {
        return [s, text](const Reply& r) { return r.status == s && r.body.find(text) != std::string::npos; };
    };
    const std::string getFeature = kEgib + "?service=WFS&version=2.0.0&request=GetFeature&typenames=ms%3A";
    const std::string getMap = "?service=WMS&version=1.1.1&request=GetMap&styles=&format=image%2Fpng&SRS=EPSG%3A2180&";
    const std::string gesutCaps = kGesut + "?service=WFS&request=GetCapabilities";
    const std::string lidarTile = std::string(demo::kLidarTilePathPrefix) + "v" +
                                  std::to_string(kLidarGeneratorVersion) + "/10_0.5/9999999_M-33-31-C-d-09-09.laz";
    const std::tuple<std::string, std::string, std::function<bool(const Reply&)>> steps[] = {
        {"kind=503&path=/wss/ext&count=1", kCaps, status(503)},
        {"", kCaps, status(200)},
        {"", "/wss/service/PZGIK/PRG/WFS/AdministrativeBoundaries?service=WFS&request=GetCapabilities&__fault=500",
         status(500)},
        {"kind=502&path=" + kGesut + "&count=0", kCaps, status(200)},  // count 0: without limit
        {"", gesutCaps, status(502)},
        {"", gesutCaps, status(502)},
        {"", "/__fault?kind=bogus", status(400)},
        {"", "/__config?lidarSheet=10", status(400)},
        {"", lidarTile, status(404)},
        {"kind=wrongtype", kCaps, [](const Reply& r) {
             return r.type.rfind("text/html", 0) == 0 && r.body.find("<Name>ms:dzialki</Name>") != std::string::npos;
         }},
        {"kind=empty", kCaps, [](const Reply& r) { return r.status == 200 && r.body.empty(); }},
        {"", getFeature + "NIEMA&COUNT=5&BBOX=382640%2C260400%2C383080%2C261040",
         refused(400, "exceptionCode=\"InvalidParameterValue\" locator=\"typename\"")},
        {"", getFeature + "dzialki&BBOX=1%2C2%2Cx%2C4", refused(400, "locator=\"bbox\"")},
        {"", kEgib + getMap + "layers=nieznana&WIDTH=100&HEIGHT=100&BBOX=260400,382640,261040,383080",
         refused(200, "LayerNotDefined")},
        {"", kOrto + getMap + "layers=Raster&WIDTH=409&HEIGHT=4097&BBOX=260400,382640,260450,383140",
         refused(200, "InvalidDimensionValue")},
    };
    for (const auto& [fault, target, ok] : steps) {
        if (!fault.empty()) {
            ASSERT_EQ(get("/__fault?" + fault).status, 200) << fault;
        }
        const Reply r = get(target);
        EXPECT_TRUE(ok(r)) << fault << " " << target << ": " << r.status << " " << r.body.substr(0, 200);
    }
}

// The style's features are converted to WGS84 by the fixture itself: every
// vertex must land on the site (its validity and CORS are checked by MapLibre's
// validator in base_map_style.js).
TEST_F(GeoportalServerTest, TheVectorBaseMapStyleLiesOnTheSite) {
    const nlohmann::json style = nlohmann::json::parse(get("/styles/liberty").body);
    const std::pair<const char*, std::size_t> sources[] = {
        {"landuse", demo::kParcels}, {"buildings", demo::kBuildings}, {"roads", DemoArea::instance().streets().size()}};
    for (const auto& [name, count] : sources) {
        const auto& features = style["sources"][name]["data"]["features"];
        EXPECT_EQ(features.size(), count) << name;
        // Within the site's WGS84 box, widened by the grid's turn.
        for (const auto& feature : features) {
            const auto& g = feature["geometry"];
            const auto& lines = g["type"] == "Polygon" ? g["coordinates"] : nlohmann::json::array({g["coordinates"]});
            for (const auto& line : lines)
                for (const auto& p : line) {
                    EXPECT_NEAR(p[0].get<double>(), (demo::kWest + demo::kEast) / 2, 0.006) << name;
                    EXPECT_NEAR(p[1].get<double>(), (demo::kSouth + demo::kNorth) / 2, 0.0035) << name;
                }
        }
    }
}

// Three clients ask for a LiDAR tile nobody generated yet (in a fresh cache):
// they get one complete file, the same bytes the suite's cache holds for that
// sheet. (The cloud download tests read its points back.)
TEST_F(GeoportalServerTest, SimultaneousFirstDownloadsShareOneCompleteCachedFileAsGeneratedBefore) {
    LidarSheet zoneSheet;
    for (const auto& s : lidarSheets(demo::kLidarSheetMetres))
        if (s.kind == LidarSheetKind::Pl2000Zone) zoneSheet = s;
    const std::string path = lidarTilePath({demo::kLidarSheetMetres, kTestDensity}, zoneSheet);
    const auto before = get(path);
    ASSERT_EQ(before.status, 200);
    const std::string fresh = cacheDir() + "_together";
    std::filesystem::remove_all(fresh);
    server_->setConfig({.lidarDensity = kTestDensity, .lidarCacheDir = fresh});
    Reply replies[3];
    std::vector<std::thread> clients;
    for (auto& reply : replies) clients.emplace_back([&reply, &path] { reply = get(path); });
    for (auto& t : clients) t.join();
    const std::vector<std::filesystem::path> files{std::filesystem::directory_iterator(fresh), {}};
    std::filesystem::remove_all(fresh);
    for (const auto& reply : replies) {
        ASSERT_EQ(reply.status, 200);
        EXPECT_TRUE(reply.body == before.body) << "a regenerated tile differs";
    }
    ASSERT_EQ(files.size(), 1u);  // no temporary file left behind
    EXPECT_EQ(files[0].extension(), ".laz");
}

TEST(GeoportalBinding, RefusesEveryAddressButLoopbackAndListensThereOnly) {
    for (const char* host : {"0.0.0.0", "::", "192.168.1.10", "example.org", ""}) {
        ServerOptions options;
        options.host = host;
        GeoportalServer refused(options);
        auto started = refused.start();
        EXPECT_FALSE(started.ok) << host;
        EXPECT_NE(started.message.find("127.0.0.1"), std::string::npos);
    }
    GeoportalServer server;
    ASSERT_TRUE(server.start().ok);
    // A socket on every address would answer at any other loopback address too.
    EXPECT_TRUE(httplib::Client("127.0.0.1", server.port()).Get("/"));
    EXPECT_FALSE(httplib::Client("127.0.0.2", server.port()).Get("/"));
}

}  // namespace
}  // namespace kl::geoportal
