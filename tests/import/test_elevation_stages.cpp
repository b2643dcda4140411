// What the terrain model stages say for each way a frame's sheets fall short,
// on sheets held in memory.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "import/elevation_stages.h"

namespace kl::import {
namespace {

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

struct StageCase {
    const char* what;
    bool indexed;                   // the index lists a sheet
    std::vector<terrain::AsciiGrid> read;
    geo::Bbox frame;
    int step;
    double interval;
    std::vector<std::string> warnings;  // of the terrain stage, then of the contour stage
    bool tiles;
    bool contours;
};

TEST(ElevationStages, WarningsSayWhatIsMissing) {
    const auto slope = [](double x, double) { return 100.0 + x; };
    const auto flat = [](double, double) { return 100.0; };
    const auto none = [](double, double) { return -9999.0; };
    const std::vector<StageCase> rows = {
        {"slope", true, {sheet(slope)}, {0, 0, 20, 20}, 1, 1.0, {}, true, true},
        {"nothing indexed", false, {}, {0, 0, 20, 20}, 1, 1.0,
         {"Teren: brak kafli NMT dla tego obszaru w skorowidzu.",
          "Poziomice: brak kafli NMT dla tego obszaru w skorowidzu."}, false, false},
        {"no sheet read", true, {}, {0, 0, 20, 20}, 1, 1.0,
         {"Teren: nie udalo sie pobrac/sparsowac zadnego pliku NMT.",
          "Poziomice: nie udalo sie pobrac zadnego pliku NMT."}, false, false},
        {"flat", true, {sheet(flat)}, {0, 0, 20, 20}, 1, 1.0,
         {"Poziomice: brak deniwelacji wiekszej niz ciecie 1,00 m w tym kadrze - teren zbyt plaski dla wybranego "
          "ciecia."}, true, false},
        {"only nodata", true, {sheet(none)}, {0, 0, 20, 20}, 1, 1.0,
         {"Teren: brak waznych punktow NMT w kadrze.",
          "Poziomice: caly probkowany obszar to NODATA (brak danych NMT dla tego kadru)."}, false, false},
        {"frame beside the sheet", true, {sheet(slope)}, {100, 100, 120, 120}, 1, 1.0,
         {"Teren: brak waznych punktow NMT w kadrze.",
          "Poziomice: caly probkowany obszar to NODATA (brak danych NMT dla tego kadru)."}, false, false},
        {"coarse step", true, {sheet(slope)}, {0, 0, 20, 20}, 10, 1.0,
         {"Poziomice: ciecie 1,00 m jest drobne wzgledem kroku probkowania 10,00 m - warstwice beda kanciaste. "
          "Zmniejsz krok terenu."}, true, true},
    };
    for (const StageCase& c : rows) {
        std::vector<std::string> said;
        const StageIo io{[&](const std::string& w) {
                             if (!w.empty()) said.push_back(w);
                         },
                         [](const std::string&, int, int) {}, [] { return false; }};
        TerrainSheets sheets;
        if (c.indexed) sheets.index.sheets = {{"N-1", "https://a/1.asc"}};
        sheets.load.sheets = c.read;
        const auto tiles = terrainTilesFromSheets(sheets, c.frame, c.step, io);
        const ElevationContours contours = contoursFromSheets(sheets, c.frame, {c.interval, c.step, false}, io);
        EXPECT_EQ(said, c.warnings) << c.what;
        EXPECT_EQ(!tiles.empty(), c.tiles) << c.what;
        EXPECT_EQ(!contours.contours.empty(), c.contours) << c.what;
    }
}

TEST(ElevationStages, AnIntervalThatIsNotOfferedSkipsTheContours) {
    std::vector<std::string> said;
    const StageIo io{[&](const std::string& w) { said.push_back(w); }, {}, {}};
    EXPECT_TRUE(contourIntervalAllowed(0.25, "Poziomice: ", io));
    EXPECT_FALSE(contourIntervalAllowed(0.3, "Poziomice: ", io));
    EXPECT_EQ(said, (std::vector<std::string>{"Poziomice: ciecie 0,30 m nie jest dozwolona wartoscia (dozwolone: "
                                              "0,25 / 0,5 / 1,0 / 2,0 m) - poziomice pominiete."}));
}

}  // namespace
}  // namespace kl::import
