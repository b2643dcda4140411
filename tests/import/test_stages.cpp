// What the stages make of what a frame's sources gave, and what they say when
// those fall short: the terrain model sheets, the frame's LiDAR points as
// ground, the LOD2 reconstruction on any number of threads, the "pog" stage
// against a loopback register (answers the client refuses are its own rows;
// their wording in the fetch warning is the fetch faults').
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "base/service_hosts.h"
#include "import/cloud_ground_stage.h"
#include "import/elevation_stages.h"
#include "import/general_plan_stage.h"
#include "import/reconstruction_stage.h"
#include "tests/import/import_session.h"
#include "tests/net/fault_server.h"

namespace kl::import {
namespace {

using testing::Said;

// A sheet of 20 x 20 cells of 1 m over (0, 0)-(20, 20) with heights z(x, y).
template <class Height>
terrain::AsciiGrid sheet(Height z) {
    terrain::AsciiGrid g;
    g.ncols = g.nrows = 20;
    g.cellSize = 1.0;
    g.nodata = -9999.0;
    for (int row = 19; row >= 0; --row)
        for (int col = 0; col < 20; ++col) g.heights.push_back(z(col + 0.5, row + 0.5));
    return g;
}

struct SheetCase {
    const char* what;
    bool indexed;                   // the index lists a sheet
    std::vector<terrain::AsciiGrid> read;
    geo::Bbox frame;
    int step;
    std::vector<std::string> warnings;  // of the terrain stage, then of the contour stage
    bool tiles, contours;
};

TEST(ElevationStages, WarningsSayWhatIsMissing) {
    const auto slope = [](double x, double) { return 100.0 + x; };
    const auto flat = [](double, double) { return 100.0; };
    const auto none = [](double, double) { return -9999.0; };
    const std::vector<SheetCase> rows = {
        {"slope", true, {sheet(slope)}, {0, 0, 20, 20}, 1, {}, true, true},
        {"nothing indexed", false, {}, {0, 0, 20, 20}, 1,
         {"Teren: brak kafli NMT dla tego obszaru w skorowidzu.",
          "Poziomice: brak kafli NMT dla tego obszaru w skorowidzu."}, false, false},
        {"no sheet read", true, {}, {0, 0, 20, 20}, 1,
         {"Teren: nie udalo sie pobrac/sparsowac zadnego pliku NMT.",
          "Poziomice: nie udalo sie pobrac zadnego pliku NMT."}, false, false},
        {"flat", true, {sheet(flat)}, {0, 0, 20, 20}, 1,
         {"Poziomice: brak deniwelacji wiekszej niz ciecie 1,00 m w tym kadrze - teren zbyt plaski dla wybranego "
          "ciecia."}, true, false},
        {"only nodata", true, {sheet(none)}, {0, 0, 20, 20}, 1,
         {"Teren: brak waznych punktow NMT w kadrze.",
          "Poziomice: caly probkowany obszar to NODATA (brak danych NMT dla tego kadru)."}, false, false},
        {"frame beside the sheet", true, {sheet(slope)}, {100, 100, 120, 120}, 1,
         {"Teren: brak waznych punktow NMT w kadrze.",
          "Poziomice: caly probkowany obszar to NODATA (brak danych NMT dla tego kadru)."}, false, false},
        {"coarse step", true, {sheet(slope)}, {0, 0, 20, 20}, 10,
         {"Poziomice: ciecie 1,00 m jest drobne wzgledem kroku probkowania 10,00 m - warstwice beda kanciaste. "
          "Zmniejsz krok terenu."}, true, true},
    };
    for (const SheetCase& c : rows) {
        Said said;
        const StageIo io = said.io();
        TerrainSheets sheets;
        if (c.indexed) sheets.index.sheets = {{"N-1", "https://a/1.asc"}};
        sheets.load.sheets = c.read;
        const auto tiles = terrainTilesFromSheets(sheets, c.frame, c.step, io);
        const ElevationContours contours = contoursFromSheets(sheets, c.frame, {1.0, c.step, false}, io);
        EXPECT_EQ(said.warnings, c.warnings) << c.what;
        EXPECT_EQ(!tiles.empty(), c.tiles) << c.what;
        EXPECT_EQ(!contours.contours.empty(), c.contours) << c.what;
    }
}

TEST(ElevationStages, AnIntervalThatIsNotOfferedSkipsTheContours) {
    Said said;
    EXPECT_TRUE(contourIntervalAllowed(0.25, "Poziomice: ", said.io()));
    EXPECT_FALSE(contourIntervalAllowed(0.3, "Poziomice: ", said.io()));
    EXPECT_EQ(said.warnings, (std::vector<std::string>{"Poziomice: ciecie 0,30 m nie jest dozwolona wartoscia (dozwolone: "
                                              "0,25 / 0,5 / 1,0 / 2,0 m) - poziomice pominiete."}));
}

constexpr std::uint8_t kGround = 2, kBuilding = 6, kWater = 9;

// Points nearest each metre node of the 20 x 20 m frame for which height() gives a value.
std::vector<FrameCloudPoint> cells(std::uint8_t cls, const std::function<std::optional<double>(int, int)>& height,
                                   int perCell = 1) {
    std::vector<FrameCloudPoint> out;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            if (const auto z = height(x, y))
                for (int k = 0; k < perCell; ++k) out.push_back({x - 0.2 + 0.2 * k, y + 0.0, *z, cls});
    return out;
}

std::vector<FrameCloudPoint> operator+(std::vector<FrameCloudPoint> a, const std::vector<FrameCloudPoint>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const auto kSlope = [](int x, int) -> std::optional<double> { return 100.0 + 0.5 * x; };
const auto kPond = [](int x, int y) -> std::optional<double> {
    if (x >= 12 && x < 16 && y >= 4 && y < 8) return 104.5;
    return std::nullopt;
};
const auto kNaN = [](int, int) -> std::optional<double> { return std::numeric_limits<double>::quiet_NaN(); };

const geo::Bbox kFrame{0, 0, 19.5, 19.5};
double tilted(double x, double y) { return 100.0 + 0.3 * x + 0.1 * y; }

// The tilted ground 10 x 10 points a cell, as the frame's tiles hold it 3 m
// beyond the frame, and of that what the stage is given: the frame and its
// margin. Cut at the frame, the nodes of the west and south edges would sit
// slope x cell / 4 too high (7.5 and 2.5 cm).
std::vector<FrameCloudPoint> tiltedAroundTheFrame() {
    const double margin = cloudGroundMargin(1.0);
    std::vector<FrameCloudPoint> out;
    for (int j = -30; j < 225; ++j)
        for (int i = -30; i < 225; ++i) {
            const double x = (i + 0.5) / 10, y = (j + 0.5) / 10;
            if (x >= kFrame.minX - margin && x <= kFrame.maxX + margin && y >= kFrame.minY - margin &&
                y <= kFrame.maxY + margin)
                out.push_back({x, y, tilted(x, y), kGround});
        }
    return out;
}

struct StageCase {
    const char* what;
    std::vector<FrameCloudPoint> points;
    std::vector<std::string> warnings;  // exactly these, in order
    bool tiles, contours;
    std::size_t waterOutlines;
    geo::Bbox waterBox{11.5, 3.5, 15.5, 7.5};  // the pond's cells, half a cell beyond their nodes
    bool onTiltedPlane = false;                 // every node within 1 mm of tilted()
};

const std::string kCount = "Poziomice z chmury: ";

TEST(CloudGroundStage, ProductsAndWarnings) {
    const std::vector<StageCase> rows = {
        {"a slope with a pond", cells(kGround, kSlope) + cells(kWater, kPond, 2), {kCount + "10 warstwic, ciecie 1,00 m"},
         true, true, 1},
        {"only water", cells(kWater, kPond, 2),
         {"Teren z chmury: brak punktow gruntu (klasa 2) w kadrze.",
          kCount + "brak deniwelacji wiekszej niz ciecie 1,00 m w tym kadrze - teren zbyt plaski dla wybranego ciecia.",
          kCount + "0 warstwic, ciecie 1,00 m"},
         true, false, 1, {-0.5, -0.5, 19.5, 19.5}},  // without ground, every empty cell meets the water: a lake
        {"neither ground nor water", cells(kBuilding, kSlope),
         {"Teren z chmury: brak punktow gruntu (klasa 2) w kadrze.", "Teren z chmury: brak waznych komorek w kadrze."},
         false, false, 0},
        {"heights that are not numbers", cells(kGround, kNaN) + cells(kWater, kNaN, 2),
         {"Teren z chmury: brak waznych komorek w kadrze."}, false, false, 0},
        {"no water point", cells(kGround, kSlope),
         {kCount + "9 warstwic, ciecie 1,00 m",
          "Woda z chmury: brak punktow wody (klasa 9) w kadrze - powierzchni wody nie wyrownano."},
         true, true, 0},
        {"one water return a cell", cells(kGround, kSlope) + cells(kWater, kPond, 1),
         {kCount + "9 warstwic, ciecie 1,00 m", "Woda z chmury: brak komorek wody w kadrze."}, true, true, 0},
        {"a slope reaching beyond the frame", tiltedAroundTheFrame(),
         {kCount + "7 warstwic, ciecie 1,00 m",
          "Woda z chmury: brak punktow wody (klasa 9) w kadrze - powierzchni wody nie wyrownano."},
         true, true, 0, {}, true},
    };
    for (const StageCase& row : rows) {
        SCOPED_TRACE(row.what);
        Said said;
        std::vector<FrameCloudPoint> points = row.points;
        const CloudGroundStage got =
            cloudGroundFromPoints(std::move(points), kFrame, 1.0, {true, true, true, 1.0, 1.0}, said.io());
        EXPECT_FALSE(got.cancelled);
        EXPECT_EQ(said.warnings, row.warnings);
        EXPECT_EQ(!got.ground.terrainTiles.empty(), row.tiles);
        EXPECT_EQ(!got.ground.contours.empty(), row.contours);
        if (row.onTiltedPlane) {
            for (const terrain::TerrainTile& tile : got.ground.terrainTiles)
                for (const terrain::TerrainPoint& p : tile.points)
                    ASSERT_NEAR(p.height, tilted(p.x, p.y), 0.001) << p.x << " " << p.y;
        }
        ASSERT_EQ(got.ground.water.outlines.size(), row.waterOutlines);
        if (row.waterOutlines == 0) continue;
        EXPECT_DOUBLE_EQ(got.ground.water.level, 104.5);
        const geo::Bbox& box = row.waterBox;
        for (const geo::Point2d& p : got.ground.water.outlines.front()) {
            EXPECT_TRUE(p.x >= box.minX && p.x <= box.maxX && p.y >= box.minY && p.y <= box.maxY) << p.x << " " << p.y;
        }
    }
}

struct StepCase {
    const char* what;
    geo::Bbox frame;
    double requested, used;
    std::string warning;
};

TEST(CloudGroundStage, GridKeepsTo800NodesPerAxis) {
    const std::vector<StepCase> rows = {
        {"a frame of 799 steps keeps the step", {0, 0, 799, 100}, 1.0, 1.0, ""},
        {"a step that is not positive is 1 m", {0, 0, 10, 10}, 0.0, 1.0, ""},
        {"640 m at 0.5 m is coarsened", {0, 0, 640, 300}, 0.5, 640.0 / 799,
         "Teren z chmury: kadr duzy dla kroku 0.5 m - krata zgrubiona do 0.80 m (limit 800 wezlow/os). Zmniejsz kadr "
         "dla drobniejszej kraty."},
        {"the taller side decides", {0, 0, 100, 5000}, 1.0, 5000.0 / 799,
         "Teren z chmury: kadr duzy dla kroku 1 m - krata zgrubiona do 6.26 m (limit 800 wezlow/os). Zmniejsz kadr "
         "dla drobniejszej kraty."},
    };
    for (const StepCase& row : rows) {
        SCOPED_TRACE(row.what);
        Said said;
        const double step = cloudGridStep(row.frame, row.requested, said.io());
        EXPECT_DOUBLE_EQ(step, row.used);
        EXPECT_EQ(said.warnings, row.warning.empty() ? std::vector<std::string>{} : std::vector<std::string>{row.warning});
    }
}

using buildings::Lod1Building;

// A gabled house of 12 x 8 m at (x, y) with ground echoes around it.
void house(std::vector<FrameCloudPoint>& cloud, double x, double y, double ground) {
    for (double v = -6; v <= 14; v += 0.4)
        for (double u = -6; u <= 18; u += 0.4) {
            const bool inside = u > 0 && u < 12 && v > 0 && v < 8;
            const double roof = ground + 6 + 3 * (1 - std::abs(v - 4) / 4);
            cloud.push_back({x + u, y + v, inside ? roof : ground, static_cast<std::uint8_t>(inside ? 6 : 2)});
        }
}

Lod1Building footprint(std::string id, double x, double y) {
    return {std::move(id), {{x, y}, {x + 12, y}, {x + 12, y + 8}, {x, y + 8}}, 100, 9};
}

// Houses far apart, with footprints that cannot be rebuilt among them: the
// same bodies in the same order on one thread and on three, the degenerate
// footprints skipped and the one without points stood in and said.
TEST(ReconstructionStage, SameBuildingsOnAnyNumberOfThreadsAndUnbuildableFootprintsSaid) {
    std::vector<FrameCloudPoint> cloud;
    std::vector<Lod1Building> footprints{{"linia", {{0, 0}, {10, 0}}, 100, 9},
                                         {"zero", {{0, 0}, {5, 0}, {10, 0}}, 100, 9},
                                         footprint("daleko", 5000, 5000)};  // no point of the cloud near
    for (int i = 0; i < 37; ++i) {
        house(cloud, 1000.0 * i, 0, 100 + i);
        footprints.push_back(footprint("B" + std::to_string(i), 1000.0 * i, 0));
    }
    Said one, three;
    const ReconstructionRun a = reconstructFootprints(footprints, cloud, 1, one.io());
    const ReconstructionRun b = reconstructFootprints(footprints, cloud, 3, three.io());
    ASSERT_EQ(a.result.buildings.size(), 38u);
    EXPECT_EQ(a.result.ids, b.result.ids);
    EXPECT_EQ(a.result.ids.front(), "daleko");
    EXPECT_TRUE(a.result.buildings[0].needsReview);
    EXPECT_NEAR(a.result.buildings[0].params.groundZ, 100, 1e-9);  // the LOD1 base
    for (const auto& v : a.result.buildings[0].mesh.vertices) EXPECT_TRUE(std::isfinite(v.z));
    for (size_t i = 1; i < a.result.buildings.size(); ++i) {
        EXPECT_EQ(a.result.buildings[i].mesh.vertices, b.result.buildings[i].mesh.vertices) << i;
        EXPECT_EQ(a.result.buildings[i].primitive, "Gabled") << i;
        EXPECT_NEAR(a.result.buildings[i].params.groundZ, 100.0 + static_cast<double>(i - 1), 1e-9) << i;
    }
    EXPECT_EQ(one.warnings, three.warnings);
    EXPECT_EQ(one.warnings.back(),
              "Rekonstrukcja LOD2: odtworzono 38 z 40 budynkow (do korekty: 1). Pominieto 2 obrysow zdegenerowanych "
              "(mniej niz 3 punkty, zerowe pole lub wspolrzedne nieliczbowe). 1 budynkow bez punktow dachu w chmurze - "
              "wstawiono bryly zastepcze (grunt + 3 m) do korekty. 1 budynkow bez punktow gruntu w chmurze - sciany od "
              "poziomu z modelu LOD1.");
}

const std::string kInForce = "prawnie wiążący lub realizowany";

std::string act(const std::string& id, const std::string& status, const std::string& type = "MUNICIPAL_GENERAL_PLAN") {
    return "{\"publishedActId\":" + id + ",\"planType\":\"" + type + "\",\"spatialPlanningActStatus\":\"" + status +
           "\",\"publishDate\":\"2025-06-30\"}";
}

// Two square zones of 100 m in PL-1992, one at each given south-west corner.
std::string zones(double e1, double n1, double e2, double n2) {
    const auto square = [](int k, double e, double n) {
        // Northing first, as the URN form of the system is written.
        const auto p = [](double east, double north) {
            return std::to_string(static_cast<long long>(north)) + " " + std::to_string(static_cast<long long>(east)) + " ";
        };
        return "<wfs:member><app:StrefaPlanistyczna gml:id=\"s" + std::to_string(k) +
               "\"><app:symbol>SW</app:symbol><app:geometria><gml:Polygon srsName=\"urn:ogc:def:crs:EPSG::2180\">"
               "<gml:exterior><gml:LinearRing><gml:posList>" +
               p(e, n) + p(e + 100, n) + p(e + 100, n + 100) + p(e, n + 100) + p(e, n) +
               "</gml:posList></gml:LinearRing></gml:exterior></gml:Polygon></app:geometria>"
               "</app:StrefaPlanistyczna></wfs:member>";
    };
    return "<wfs:FeatureCollection xmlns:wfs=\"http://www.opengis.net/wfs/2.0\" "
           "xmlns:gml=\"http://www.opengis.net/gml/3.2\" xmlns:app=\"urn:app\">" +
           square(1, e1, n1) + square(2, e2, n2) + "</wfs:FeatureCollection>";
}

TEST(GeneralPlanStage, EachRegisterAnswerEarnsItsWarningAndZonesComeWhole) {
    const geo::Bbox frame{1000, 2000, 1500, 2400};
    const std::string commune = "0201011";
    struct Case {
        const char* name;
        std::string acts;      // the query answer
        std::string download;  // the answer for act 5001
        std::size_t zones;
        std::string warning;
    };
    const Case cases[] = {
        {"no zone in the frame", "{\"publishedActs\":[" + act("5001", kInForce) + "]}", zones(3000, 3000, 5000, 5000),
         0, "POG gminy 0201011: akt jest, ale zadna strefa nie wpada w kadr."},
        {"only local plans", "{\"publishedActs\":[" + act("6001", kInForce, "LOCAL_SPATIAL_DEVELOPMENT_PLAN") + "]}",
         zones(1100, 2100, 5000, 5000), 0,
         "Brak POG dla gminy 0201011 (Plan Ogolny jeszcze nieuchwalony w Rejestrze Urbanistycznym)."},
        {"odd entries", "{\"publishedActs\":[7,[],null," + act("5001", kInForce) + "]}", zones(1100, 2100, 5000, 5000),
         1, "Rejestr Urbanistyczny: pominieto 3 wpisow listy aktow, ktore nie sa opisem aktu."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::FaultServer server;
        server.reply("/api/public/published/query", 200, c.acts, "application/json");
        server.reply("/api/public/published/5001/download", 200, c.download, "application/gml+xml");
        net::WfsClient client(test::loopbackTimings(), settings::serviceHostsWithOverride(server.url("")));
        const GeneralPlanZones got = fetchGeneralPlanZones(client, commune, frame, [](int) {});
        EXPECT_EQ(got.zones.size(), c.zones);
        EXPECT_EQ(got.warning, c.warning);
    }
}

}  // namespace
}  // namespace kl::import
