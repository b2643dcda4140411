#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "import/contour_stage.h"
#include "import/fetched_data.h"

namespace kl::import {
namespace {

std::optional<double> slope(double x, double y) { return 100.0 + 0.05 * x + 0.03 * y; }
std::optional<double> flat(double, double) { return 100.3; }
std::optional<double> noData(double, double) { return std::nullopt; }

struct StageCase {
    const char* name;
    ContourRequest request;
    std::optional<double> (*heights)(double, double);
    bool expectContours;
    std::vector<std::string> warnings;
};

class ContourStage : public ::testing::TestWithParam<StageCase> {};

TEST_P(ContourStage, TracesTheFrameOrSaysWhyNot) {
    const StageCase& c = GetParam();
    const ContourStageResult r = buildFrameContours(c.request, c.heights, {}, {});
    EXPECT_EQ(!r.contours.empty(), c.expectContours);
    EXPECT_EQ(r.warnings, c.warnings);
    EXPECT_FALSE(r.cancelled);
}

const geo::Bbox kFrame{500000, 250000, 500200, 250200};

INSTANTIATE_TEST_SUITE_P(
    Frames, ContourStage,
    ::testing::Values(
        StageCase{"slope", {kFrame, 1, 1.0, false}, slope, true, {}},
        StageCase{"smoothedSlope", {kFrame, 1, 0.5, true}, slope, true, {}},
        StageCase{"intervalNotAllowed", {kFrame, 1, 0.3, false}, slope, false,
                  {"Poziomice: ciecie 0,30 m nie jest dozwolona wartoscia (dozwolone: 0,25 / 0,5 / 1,0 / 2,0 m) - "
                   "poziomice pominiete."}},
        StageCase{"flat", {kFrame, 1, 1.0, false}, flat, false,
                  {"Poziomice: brak deniwelacji wiekszej niz ciecie 1,00 m w tym kadrze - teren zbyt plaski dla "
                   "wybranego ciecia."}},
        StageCase{"noData", {kFrame, 1, 1.0, false}, noData, false,
                  {"Poziomice: caly probkowany obszar to NODATA (brak danych NMT dla tego kadru)."}},
        StageCase{"stepCoarseForTheInterval", {kFrame, 10, 1.0, false}, slope, true,
                  {"Poziomice: ciecie 1,00 m jest drobne wzgledem kroku probkowania 10,00 m - warstwice beda "
                   "kanciaste. Zmniejsz krok terenu."}},
        StageCase{"stepGrownForTheFrame", {{0, 0, 9000, 60}, 1, 0.25, false}, slope, true,
                  {"Poziomice: kadr za duzy dla kroku 1,00 m - siatka NMT ograniczona do 3000 wezlow na os. Uzyto "
                   "kroku 3,00 m, aby zmiescic caly obszar.",
                   "Poziomice: ciecie 0,25 m jest drobne wzgledem kroku probkowania 3,00 m - warstwice beda "
                   "kanciaste. Krok zostal zgrubiony przez limit gestosci dla tego kadru - zmniejsz kadr albo wybierz "
                   "wieksze ciecie."}}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(ContourStageCancel, StopsWithItsMessageAndNoFlatTerrainWarning) {
    int levels = 0;
    const ContourStageResult r = buildFrameContours(
        {kFrame, 1, 1.0, false}, slope, [&] { return levels > 1; }, [&](std::size_t, std::size_t) { ++levels; });
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(r.warnings, std::vector<std::string>{"Poziomice: przerwano przez uzytkownika."});
}

// The fetch reply's chips for the ground, and a fetch of only ground is kept.
TEST(ContourStageCounts, TilesAndContoursAreCountedAndKept) {
    FetchedData data;
    EXPECT_FALSE(data.holdsAnything());
    data.contours.resize(3);
    EXPECT_TRUE(data.holdsAnything());
    data.terrainTiles.resize(2);
    const std::map<std::string, int> expected{{"poziomice (warstwice)", 3}, {"teren (Siatka)", 2}};
    EXPECT_EQ(fetchCounts(data), expected);
}

}  // namespace
}  // namespace kl::import
