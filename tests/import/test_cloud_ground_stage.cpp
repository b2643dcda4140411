// What the ground from the LiDAR cloud makes of the frame's points, and what
// it says when the cloud falls short: no ground, only water, heights that
// are not numbers, single water returns, flat ground, a frame too large for
// the grid, a slope whose edge nodes must not lean.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "import/cloud_ground_stage.h"

namespace kl::import {
namespace {

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
const auto kFlat = [](int, int) -> std::optional<double> { return 100.0; };
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
        {"flat ground", cells(kGround, kFlat),
         {kCount + "brak deniwelacji wiekszej niz ciecie 1,00 m w tym kadrze - teren zbyt plaski dla wybranego ciecia.",
          kCount + "0 warstwic, ciecie 1,00 m", "Woda z chmury: brak punktow wody (klasa 9) w kadrze - powierzchni "
                                                 "wody nie wyrownano."},
         true, false, 0},
        {"a slope reaching beyond the frame", tiltedAroundTheFrame(),
         {kCount + "7 warstwic, ciecie 1,00 m",
          "Woda z chmury: brak punktow wody (klasa 9) w kadrze - powierzchni wody nie wyrownano."},
         true, true, 0, {}, true},
    };
    for (const StageCase& row : rows) {
        SCOPED_TRACE(row.what);
        std::vector<std::string> said;
        const StageIo io{[&](const std::string& w) { said.push_back(w); }, [](const std::string&, int, int) {},
                         [] { return false; }};
        std::vector<FrameCloudPoint> points = row.points;
        const CloudGroundStage got =
            cloudGroundFromPoints(std::move(points), kFrame, 1.0, {true, true, true, 1.0, 1.0}, io);
        EXPECT_FALSE(got.cancelled);
        EXPECT_EQ(said, row.warnings);
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
        std::vector<std::string> said;
        const StageIo io{[&](const std::string& w) { said.push_back(w); }, {}, {}};
        const double step = cloudGridStep(row.frame, row.requested, io);
        EXPECT_DOUBLE_EQ(step, row.used);
        EXPECT_EQ(said, row.warning.empty() ? std::vector<std::string>{} : std::vector<std::string>{row.warning});
        const double longer = std::max(row.frame.maxX - row.frame.minX, row.frame.maxY - row.frame.minY);
        EXPECT_LE(std::floor(longer / step) + 1, kMaxCloudGridNodes);
    }
}

}  // namespace
}  // namespace kl::import
