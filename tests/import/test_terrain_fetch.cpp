// The terrain stages of a fetch against the local geoportal: tiles and
// contours from its NMT sheets, terrain, contours and water from its LiDAR
// tiles (compared with the NMT of the same ground), and what a failing
// index, sheet or tile costs.
#include <gtest/gtest.h>

#include <cmath>
#include <iostream>

#include "tests/import/import_session.h"
#include "tools/geoportal/demo_area.h"
#include "tools/geoportal/demo_river.h"
#include "tools/geoportal/elevation_sheets.h"
#include "tools/geoportal/geometry.h"
#include "tools/geoportal/lidar_ground_features.h"

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

const TerrainFault kTerrainFaults[] = {
    {"AllSheets"},
    // Every year's index answers a report: "no sheets" would be a guess, so
    // the failure is named, and the parcels still come.
    {"IndexIsAnExceptionReport", true, geoportal::FaultKind::Exception, "SkorowidzNMT", false,
     "Teren: Skorowidz NMT nie odpowiada poprawnie (rok 2027"},
    {"EastSheetIsMissing", true, geoportal::FaultKind::NotFound, "4-2.asc", true,
     "Teren: Arkusz M-33-31-C-d-4-2 nie zostal pobrany"},
    {"WestSheetIsCutShort", true, geoportal::FaultKind::Cut, "4-1.asc", true, "Teren: Arkusz M-33-31-C-d-4-1"},
};

TEST(TerrainFetch, TilesAndContoursComeFromTheSheetsThatCame) {
    for (const TerrainFault& f : kTerrainFaults) {
        SCOPED_TRACE(f.name);
        ImportSession s;
        if (f.faulty) DemoServices::instance().addFault(f.kind, f.match, 3000);
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
            continue;
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
}

const TerrainFault kCloudFaults[] = {
    {"AllTiles", false, {}, "", true, "Poziomice z chmury: "},
    // Every year's index answers a report: the kinds are not made, the parcels still come.
    {"IndexIsAnExceptionReport", true, geoportal::FaultKind::Exception, "SkorowidzDanychPomiarowychLIDAR", false,
     "Teren z chmury: Serwis skorowidza LiDAR nie odpowiada poprawnie"},
    {"OneTileIsMissing", true, geoportal::FaultKind::NotFound, "M-33-31-C-d-01-04.laz", true,
     "Teren z chmury: chmura niepelna - uzyto 11 z 12 kafli LiDAR"},
};

// Mean absolute difference of the cloud's ground from the terrain model
// sheets, which are made from the same ground; the warehouse roof is in the
// cloud only.
// The ground is compared where the mesh puts it: at the node.
double meanDifferenceFromNmt(const std::vector<terrain::TerrainTile>& tiles) {
    double sum = 0;
    long n = 0;
    for (const terrain::TerrainTile& t : tiles)
        for (const terrain::TerrainPoint& p : t.points) {
            sum += std::abs(p.height - geoportal::demoElevation(geoportal::ElevationModelKind::Terrain, {p.x, p.y}));
            ++n;
        }
    return n ? sum / static_cast<double>(n) : NAN;
}

TEST(CloudGroundFetch, GroundWaterAndContoursFromTheTilesThatCame) {
    for (const TerrainFault& f : kCloudFaults) {
        SCOPED_TRACE(f.name);
        ImportSession s;
        if (f.faulty) DemoServices::instance().addFault(f.kind, f.match, 3000);
        const json fetch = ImportSession::demoFetch({"dzialki", "terenchmura", "poziomicechmura", "wodachmura"});
        ASSERT_TRUE(s.ask(fetch).is_null());
        const json done = s.waitFor("fetchDone", std::chrono::seconds(240));
        ASSERT_FALSE(done.is_null());
        const std::string warning = done.value("warning", "");
        EXPECT_NE(warning.find(f.warning), std::string::npos) << warning;
        EXPECT_EQ(done["counts"].value("dzialki", 0), demo::kParcels);
        const import::CloudGround& got = s.controller().fetched().cloudGround;
        if (!f.terrainArrives) {
            EXPECT_TRUE(got.empty());
            EXPECT_FALSE(done["counts"].contains("teren z chmury (Siatka)"));
            continue;
        }
        ASSERT_FALSE(got.terrainTiles.empty());
        EXPECT_EQ(done["counts"].value("teren z chmury (Siatka)", 0), static_cast<int>(got.terrainTiles.size()));
        EXPECT_EQ(done["counts"].value("poziomice z chmury (warstwice)", 0), static_cast<int>(got.contours.size()));
        EXPECT_GE(got.contours.size(), 5u);

        // Flat surfaces at the river's level, over the river only (the mill that
        // stands in it may part the water).
        ASSERT_FALSE(got.water.outlines.empty());
        EXPECT_EQ(done["counts"].value("woda z chmury (Siatka)", 0), static_cast<int>(got.water.outlines.size()));
        EXPECT_EQ(static_cast<float>(got.water.level), static_cast<float>(demo::kRiverLevel));
        for (const auto& outline : got.water.outlines)
            for (const geo::Point2d& p : outline)
                EXPECT_LT(geoportal::distanceToSegment({p.x, p.y}, demo::kRiverFrom, demo::kRiverTo),
                          demo::kRiverHalfWidth + 1.5);

        // The middle of the warehouse has no ground under its roof: no node there,
        // neither a lake nor a pit.
        const geoportal::Box& w = demo::kWarehouse;
        for (const terrain::TerrainTile& t : got.terrainTiles)
            for (const terrain::TerrainPoint& p : t.points)
                EXPECT_FALSE(std::abs(p.x - (w.minX + w.maxX) / 2) < 2 && std::abs(p.y - (w.minY + w.maxY) / 2) < 2)
                    << p.x << " " << p.y << " " << p.height;

        const double difference = meanDifferenceFromNmt(got.terrainTiles);
        std::cout << "cloud terrain vs NMT, mean |dz| = " << difference << " m\n";
        RecordProperty("mean_abs_dz_mm", static_cast<int>(std::lround(difference * 1000)));
        EXPECT_LT(difference, 0.025);  // half a cell off the nodes it was 0.045
    }
}

}  // namespace
}  // namespace kl::testing
