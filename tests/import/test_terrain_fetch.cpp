// The terrain model stages of a fetch against the local geoportal: tiles and
// contours from its NMT sheets, and what a failing index or sheet costs.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/import/demo_services.h"
#include "tests/import/import_session.h"
#include "tools/geoportal/demo_area.h"
#include "tools/geoportal/elevation_sheets.h"

namespace kl::testing {
namespace {

using nlohmann::json;
namespace demo = geoportal::demo;

struct TerrainFault {
    const char* name;
    bool faulty = false;
    geoportal::FaultKind kind = geoportal::FaultKind::Status;
    const char* match = "";
    bool terrainArrives = true;
    const char* warning = "";  // a part of the fetch warning; "" expects none
};

void PrintTo(const TerrainFault& f, std::ostream* os) { *os << f.name; }

const TerrainFault kTerrainFaults[] = {
    {"AllSheets"},
    // Every year's index answers a report: "no sheets" would be a guess, so
    // the failure is named, and the parcels still come.
    {"IndexIsAnExceptionReport", true, geoportal::FaultKind::Exception, "SkorowidzNMT", false,
     "Teren: Skorowidz NMT nie odpowiada poprawnie (rok 2027"},
    {"EastSheetIsMissing", true, geoportal::FaultKind::NotFound, "4-2.asc", true,
     "Teren: Arkusz M-33-31-C-d-4-2 nie zostal pobrany"},
    {"WestSheetIsEmpty", true, geoportal::FaultKind::Empty, "4-1.asc", true, "Teren: Arkusz M-33-31-C-d-4-1"},
    {"WestSheetIsCutShort", true, geoportal::FaultKind::Cut, "4-1.asc", true, "Teren: Arkusz M-33-31-C-d-4-1"},
};

class TerrainFetch : public ::testing::TestWithParam<TerrainFault> {
protected:
    ImportSession s;
};

TEST_P(TerrainFetch, TilesAndContoursComeFromTheSheetsThatCame) {
    const TerrainFault& f = GetParam();
    if (f.faulty) {
        DemoServices::instance().addFault(f.kind, f.match);
    }
    ASSERT_TRUE(s.ask(ImportSession::demoFetch({"dzialki", "teren", "poziomice2d", "poziomice3d"})).is_null());
    const json done = s.waitFor("fetchDone");
    ASSERT_FALSE(done.is_null());
    const std::string warning = done.value("warning", "");
    if (*f.warning == '\0')
        EXPECT_EQ(warning, "");
    else
        EXPECT_NE(warning.find(f.warning), std::string::npos) << warning;
    EXPECT_EQ(done["counts"].value("dzialki", 0), demo::kParcels);

    const import::FetchedData& got = s.controller().fetched();
    if (!f.terrainArrives) {
        EXPECT_FALSE(done["counts"].contains("teren (Siatka)"));
        EXPECT_TRUE(got.terrainTiles.empty());
        EXPECT_TRUE(got.contours.empty());
        return;
    }
    ASSERT_FALSE(got.terrainTiles.empty());
    EXPECT_EQ(done["counts"].value("teren (Siatka)", 0), static_cast<int>(got.terrainTiles.size()));
    EXPECT_EQ(done["counts"].value("poziomice (warstwice)", 0), static_cast<int>(got.contours.size()));
    EXPECT_GE(got.contours.size(), 5u);
    // Both sheets state the same ground, so every height is the bilinear
    // mean of the four cell centres around the node; at a sheet's edge the
    // edge row or column is held (a weight of 0 or 1), and next to a hole
    // the node takes the value of its own cell.
    const auto ground = [](double x, double y) {
        return geoportal::demoElevation(geoportal::ElevationModelKind::Terrain, {x, y});
    };
    for (const terrain::TerrainTile& t : got.terrainTiles) {
        for (const terrain::TerrainPoint& p : t.points) {
            const double x0 = std::floor(p.x - 0.5) + 0.5, y0 = std::floor(p.y - 0.5) + 0.5;
            const double z00 = ground(x0, y0), z10 = ground(x0 + 1, y0), z01 = ground(x0, y0 + 1),
                         z11 = ground(x0 + 1, y0 + 1);
            bool agrees = false;
            for (const double tx : {p.x - x0, 0.0, 1.0})
                for (const double ty : {p.y - y0, 0.0, 1.0})
                    agrees = agrees || std::abs(p.height - ((1 - tx) * (1 - ty) * z00 + tx * (1 - ty) * z10 +
                                                            (1 - tx) * ty * z01 + tx * ty * z11)) < 1e-9;
            agrees = agrees || p.height == ground(p.x, p.y);
            EXPECT_TRUE(agrees) << p.x << " " << p.y << " " << p.height;
            EXPECT_TRUE(p.x >= t.minX && p.x <= t.maxX && p.y >= t.minY && p.y <= t.maxY);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Sheets, TerrainFetch, ::testing::ValuesIn(kTerrainFaults),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(TerrainFetchCancel, CancelDuringASheetDownloadKeepsNothing) {
    ImportSession s;
    DemoServices::instance().addFault(geoportal::FaultKind::Slow, ".asc", 1500);
    ASSERT_TRUE(s.ask(ImportSession::demoFetch({"teren"})).is_null());
    json progress;
    while ((progress = s.waitFor("progress", std::chrono::seconds(20))).value("label", "") != "Pobieranie NMT" ||
           progress.value("total", 0) == 1) {
        ASSERT_FALSE(progress.is_null());
        s.clearReceived();
    }
    EXPECT_TRUE(s.ask({{"type", "cancel"}}).is_null());
    ASSERT_FALSE(s.waitFor("cancelled", std::chrono::seconds(20)).is_null());
    ASSERT_TRUE(s.settle());
    EXPECT_FALSE(s.controller().hasFetched());
    EXPECT_TRUE(s.received("fetchDone").empty());
}

}  // namespace
}  // namespace kl::testing
