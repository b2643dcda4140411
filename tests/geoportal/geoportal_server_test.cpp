// The local geoportal as its clients see it: map images, refusals, faults,
// geocoder forms, the base-map style, sheet files and its loopback binding.
#include "tools/geoportal/geoportal_server.h"

#include "tests/geoportal/local_geoportal.h"
#include "tests/support/command_output.h"
#include "tools/geoportal/demo_area.h"
#include "tools/geoportal/elevation_sheets.h"
#include "tools/geoportal/lidar_sheets.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>
#include <tuple>

namespace kl::geoportal {
namespace {

// A coordinate as the server wrote it: C syntax, whatever the test's locale.
double coordinate(const std::string& text) {
    double v = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    EXPECT_TRUE(r.ec == std::errc() && r.ptr == text.data() + text.size()) << text;
    return v;
}

using testing::allBetween, testing::countOf, testing::rawGet;

const std::string kEgib = "/wss/ext/PowiatoweBazyEwidencjiGruntow/0201";
const std::string kGesut = "/wss/ext/PowiatoweBazyUzbrojeniaTerenu/0201";
const std::string kPrg = "/wss/service/PZGIK/PRG/WFS/AdministrativeBoundaries";
const std::string kOrto = "/wss/service/PZGIK/ORTO/WMS/StandardResolution";
// The demo frame, northing first, as the client writes it. (What the WFS
// answers is checked by the client's own tests against this server.)
const std::string kBoxNE = "382640%2C260400%2C383080%2C261040%2Curn%3Aogc%3Adef%3Acrs%3AEPSG%3A%3A2180";

class GeoportalServerTest : public testing::LocalGeoportal {
protected:
    static void SetUpTestSuite() { start("geoportal_server_test_cache"); }
    static std::string getFeature(const std::string& path, const std::string& type, const std::string& extra) {
        return path + "?service=WFS&version=2.0.0&request=GetFeature&typenames=" + type + extra;
    }
};

// GDAL's own reading of an image body: "<driver> <width>x<height>", or ""
// when gdalinfo cannot open it.
std::string gdalImageSummary(const std::string& body, const std::string& name) {
    const std::string path = ::testing::TempDir() + name;
    std::ofstream(path, std::ios::binary) << body;
    const std::string out = test::runCommand("gdalinfo '" + path + "' 2>/dev/null").out;
    std::remove(path.c_str());
    std::string driver, size;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("Driver: ", 0) == 0) driver = line.substr(8, line.find('/') - 8);
        if (line.rfind("Size is ", 0) == 0) size = line.substr(8);
    }
    if (driver.empty()) return {};
    const auto comma = size.find(", ");
    return driver + " " + size.substr(0, comma) + "x" + size.substr(comma + 2);
}

TEST_F(GeoportalServerTest, GetMapReturnsDecodableImagesOfTheRequestedSize) {
    struct Case {
        std::string path, layers, format, srs, bbox;
        int width, height;
    };
    const Case cases[] = {
        {kEgib, "dzialki,budynki,numery_dzialek", "image%2Fpng", "EPSG%3A2180", "260400,382640,261040,383080", 640, 440},
        {kOrto, "Raster", "image%2Fjpeg", "EPSG%3A2180", "260400,382640,261040,383080", 1000, 700},
        {kGesut, "gesut", "image%2Fpng", "EPSG%3A2176", "5539390,5680700,5540060,5681220", 512, 384},
        {kOrto, "Raster", "image%2Fpng", "EPSG%3A3857", "1732600,6667400,1733700,6668200", 256, 256},
        {kOrto, "Raster", "image%2Fpng", "EPSG%3A2176", "5539390,5680700,5539590,5681300", 409, 1227},
    };
    for (const auto& c : cases) {
        auto r = get(c.path + "?service=WMS&version=1.1.1&request=GetMap&layers=" + c.layers + "&styles=&format=" + c.format +
                     "&transparent=true&SRS=" + c.srs + "&WIDTH=" + std::to_string(c.width) +
                     "&HEIGHT=" + std::to_string(c.height) + "&BBOX=" + c.bbox);
        ASSERT_EQ(r.status, 200) << c.layers;
        const bool jpeg = c.format == "image%2Fjpeg";
        EXPECT_EQ(r.header("content-type"), jpeg ? "image/jpeg" : "image/png");
        auto image = jpeg ? testing::decodeJpeg(r.body) : testing::decodePng(r.body);
        ASSERT_TRUE(image.ok) << c.layers;
        EXPECT_EQ(image.width, c.width);
        EXPECT_EQ(image.height, c.height);
        EXPECT_EQ(gdalImageSummary(r.body, jpeg ? "tile.jpg" : "tile.png"),
                  (jpeg ? "JPEG " : "PNG ") + std::to_string(c.width) + "x" + std::to_string(c.height));
        // Something of the site is drawn: count opaque pixels away from the background.
        size_t drawn = 0;
        for (size_t i = 0; i + static_cast<size_t>(image.channels) <= image.pixels.size(); i += static_cast<size_t>(image.channels)) {
            const bool opaque = image.channels < 4 || image.pixels[i + 3] > 0;
            drawn += opaque && image.pixels[i] < 200 ? 1 : 0;
        }
        EXPECT_GT(drawn, image.pixels.size() / static_cast<size_t>(image.channels) / 100) << c.layers;
    }
}

// WFS refusals are exception reports with status 400, WMS ones service
// exceptions with status 200, as the real services send them.
TEST_F(GeoportalServerTest, RefusalsComeInEachServicesOwnForm) {
    const auto getMap = [](const std::string& path, const std::string& layers, const std::string& size) {
        return path + "?service=WMS&version=1.1.1&request=GetMap&layers=" + layers +
               "&styles=&format=image%2Fpng&SRS=EPSG%3A2180&" + size;
    };
    const std::tuple<std::string, int, std::string> cases[] = {
        {getFeature(kEgib, "ms%3ANIEMA", "&COUNT=5&BBOX=" + kBoxNE), 400,
         "exceptionCode=\"InvalidParameterValue\" locator=\"typename\""},
        {getFeature(kEgib, "ms%3Adzialki", "&BBOX=1%2C2%2Cx%2C4"), 400, "locator=\"bbox\""},
        {getMap(kEgib, "nieznana", "WIDTH=100&HEIGHT=100&BBOX=260400,382640,261040,383080"), 200, "LayerNotDefined"},
        {getMap(kOrto, "Raster", "WIDTH=409&HEIGHT=4097&BBOX=260400,382640,260450,383140"), 200,
         "InvalidDimensionValue"},
    };
    for (const auto& [target, status, text] : cases) {
        const auto r = get(target);
        EXPECT_EQ(r.status, status) << target;
        EXPECT_NE(r.body.find(text), std::string::npos) << target << ": " << r.body;
    }
}

// ---- faults ---------------------------------------------------------------

const std::string kCaps = kEgib + "?service=WFS&request=GetCapabilities";

void addFault(int port, const std::string& query) {
    auto r = rawGet(port, "/__fault?" + query);
    ASSERT_EQ(r.status, 200) << r.body;
}

// Where an answer of ours differs in form from the real service's answer:
// members both have must be of the same kind, list items like the sample's first.
void compareForm(const nlohmann::json& real, const nlohmann::json& ours, const std::string& where,
                 std::vector<std::string>& out) {
    const auto kind = [](const nlohmann::json& v) { return v.is_number() ? std::string("number") : v.type_name(); };
    if (kind(real) != kind(ours)) {
        out.push_back(where + ": " + kind(ours) + " instead of " + kind(real));
    } else if (real.is_object()) {
        for (const auto& [key, value] : ours.items())
            if (real.contains(key)) compareForm(real[key], value, where + "." + key, out);
    } else if (real.is_array() && !real.empty()) {
        for (const auto& item : ours) compareForm(real.front(), item, where + "[]", out);
    }
}

TEST_F(GeoportalServerTest, GeocodersAnswerInTheFormOfTheRealServicesWithPolishNames) {
    const auto readSample = [](const std::string& name) {
        std::ifstream in(std::string(KL_SAMPLES_DIR) + "/json/" + name, std::ios::binary);
        return nlohmann::json::parse(in);
    };
    // Nominatim: coordinates and bounding box as texts, the name in display_name.
    const auto search = get("/search?format=json&limit=1&countrycodes=pl&q=Boles%C5%82awiec%2C%20Rynek");
    ASSERT_EQ(search.status, 200);
    const auto found = nlohmann::json::parse(search.body);
    ASSERT_EQ(found.size(), 1u);
    std::vector<std::string> differences;
    compareForm(readSample("geocoder__osm.json"), found, "nominatim", differences);
    EXPECT_EQ(found[0]["display_name"].get<std::string>().rfind("Rynek, Bolesławiec, powiat bolesławiecki", 0), 0u);
    const double lat = coordinate(found[0]["lat"]), lon = coordinate(found[0]["lon"]);
    EXPECT_TRUE(lat > demo::kSouth && lat < demo::kNorth && lon > demo::kWest && lon < demo::kEast);

    // Photon: a GeoJSON collection, [longitude, latitude], the address parts in the properties.
    const auto suggest = get("/api/?q=ko%C5%9Bciuszki&limit=5&bbox=14.1,49.0,24.2,54.9");
    ASSERT_EQ(suggest.status, 200);
    const auto features = nlohmann::json::parse(suggest.body);
    compareForm(readSample("waypointer__photon_response.json"), features, "photon", differences);
    EXPECT_EQ(differences, std::vector<std::string>());
    ASSERT_EQ(features["features"].size(), 2u);
    EXPECT_EQ(features["features"][1]["properties"]["housenumber"], "12");
}

// Each step adds its fault (if any), then asks: a fault answers as often as its
// count says and only where its path and text match, then the server recovers.
TEST_F(GeoportalServerTest, InjectedFaultsShapeTheAnswersTheyMatch) {
    using Reply = testing::RawReply;
    const auto status = [](int s) { return [s](const Reply& r) { return r.status == s; }; };
    const auto has = [](const std::string& text) {
        return [text](const Reply& r) { return r.status == 200 && r.body.find(text) != std::string::npos; };
    };
    const auto html = [](const Reply& r) { return r.header("content-type").rfind("text/html", 0) == 0; };
    const std::string gesutCaps = kGesut + "?service=WFS&request=GetCapabilities";
    const std::string parcels = getFeature(kEgib, "ms%3Adzialki", "&COUNT=1");
    struct Step {
        std::string fault, target;
        std::function<bool(const Reply&)> ok;
        int timeoutMs = 10000;
    };
    const Step steps[] = {
        {"kind=503&path=/wss/ext&count=2", kCaps, status(503)},
        {"", kCaps, status(503)},
        {"", kCaps, status(200)},
        {"kind=404&count=1", kCaps, [&](const Reply& r) { return r.status == 404 && html(r); }},
        {"", kPrg + "?service=WFS&request=GetCapabilities&__fault=500", status(500)},
        {"kind=500&path=" + kGesut + "&count=0", kCaps, status(200)},
        {"kind=502&match=request%3DGetFeature&count=1", gesutCaps, status(500)},
        {"", gesutCaps, status(500)},  // count 0: without limit
        {"", parcels, status(502)},
        {"", parcels, status(200)},
        {"", "/__fault?kind=bogus", status(400)},
        {"", "/__config?lidarSheet=10", status(400)},
        {"",
         std::string(demo::kLidarTilePathPrefix) + "v" + std::to_string(kLidarGeneratorVersion) +
             "/10_0.5/9999999_M-33-31-C-d-09-09.laz",
         status(404)},
        {"kind=slow&ms=1500&count=2", kCaps, [](const Reply& r) { return r.timedOut && r.status == 0; }, 300},
        {"", kCaps, has("ms:dzialki")},
        // the connection is closed, not left hanging
        {"kind=truncate", kCaps,
         [](const Reply& r) {
             return r.status == 200 && r.contentLength > 100 &&
                    static_cast<long long>(r.body.size()) == r.contentLength / 2 && !r.timedOut;
         }},
        {"kind=wrongtype", kCaps, [&](const Reply& r) { return html(r) && has("<Name>ms:dzialki</Name>")(r); }},
        {"kind=html", kCaps, has("<html>")},
        {"kind=exception", kCaps, has("<ows:ExceptionReport")},
        {"kind=empty", kCaps, [](const Reply& r) { return r.status == 200 && r.body.empty(); }},
        {"kind=reset", kCaps, [](const Reply& r) { return r.connected && r.status == 0 && r.readErrno == ECONNRESET; }},
        {"", kCaps, status(200)},  // the server goes on serving
        {"", "/nic/tutaj?service=WFS", status(404)},
    };
    for (const Step& step : steps) {
        if (!step.fault.empty()) addFault(server->port(), step.fault);
        const Reply r = rawGet(server->port(), step.target, step.timeoutMs);
        EXPECT_TRUE(step.ok(r)) << step.fault << " " << step.target << ": " << r.status << " " << r.body.substr(0, 200);
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

// ---- sheet files: LiDAR tiles made once however many ask, elevation model
// sheets as text (the tiles' points are read back by the cloud download
// tests, with laz-perf beside the add-on's reader) -------------------------

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
               std::to_string(year) + "&BBOX=" + kBoxNE;
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

// ---- binding ----------------------------------------------------------------

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
    std::ifstream tcp("/proc/net/tcp");
    std::string line;
    char portHex[8];
    std::snprintf(portHex, sizeof portHex, "%04X", server.port());
    int listening = 0;
    while (std::getline(tcp, line)) {
        std::istringstream in(line);
        std::string slot, local, remote, state;
        in >> slot >> local >> remote >> state;
        if (state == "0A" && local.size() > 9 && local.substr(9) == portHex) {
            EXPECT_EQ(local.substr(0, 8), "0100007F");
            ++listening;
        }
    }
    EXPECT_EQ(listening, 1);
}

TEST(GeoportalExecutable, RefusesOtherHostsAndDescribesTheDemo) {
    EXPECT_NE(test::runCommand(KL_GEOPORTAL_EXE " --host 0.0.0.0 2>/dev/null").status, 0);
    const test::CommandRun demo = test::runCommand(KL_GEOPORTAL_EXE " --print-demo");
    ASSERT_EQ(demo.status, 0);
    EXPECT_NE(demo.out.find("\"commune\":\"0201011\""), std::string::npos);
}

}  // namespace
}  // namespace kl::geoportal
