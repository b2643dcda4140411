// Terrain, contours and water from the LiDAR tiles of the local geoportal:
// what arrives and is placed, how it compares with the terrain model of the
// same site, and what a failing index or tile costs.
#include <gtest/gtest.h>

#include <cmath>
#include <iostream>

#include "tests/import/demo_services.h"
#include "tests/import/import_session.h"
#include "tools/geoportal/demo_area.h"
#include "tools/geoportal/elevation_sheets.h"
#include "tools/geoportal/lidar_ground_features.h"
#include "tools/import/demo_environment.h"

namespace kl::testing {
namespace {

using nlohmann::json;
namespace demo = geoportal::demo;

struct CloudFault {
    const char* name;
    bool faulty = false;
    geoportal::FaultKind kind = geoportal::FaultKind::Status;
    const char* match = "";
    bool groundArrives = true;
    const char* warning = "";  // a part of the fetch warning
};

void PrintTo(const CloudFault& f, std::ostream* os) { *os << f.name; }

const CloudFault kCloudFaults[] = {
    {"AllTiles", false, {}, "", true, "Poziomice z chmury: "},
    // Every year's index answers a report: the kinds are not made, the parcels still come.
    {"IndexIsAnExceptionReport", true, geoportal::FaultKind::Exception, "SkorowidzDanychPomiarowychLIDAR", false,
     "Teren z chmury: Serwis skorowidza LiDAR nie odpowiada poprawnie"},
    {"OneTileIsMissing", true, geoportal::FaultKind::NotFound, "M-33-31-C-d-01-04.laz", true,
     "Teren z chmury: chmura niepelna - uzyto 11 z 12 kafli LiDAR"},
    {"OneTileIsCutShort", true, geoportal::FaultKind::Cut, "M-33-31-C-d-01-04.laz", true,
     "Teren z chmury: kafel LiDAR M-33-31-C-d-01-04 pominiety"},
};

class CloudGroundFetch : public ::testing::TestWithParam<CloudFault> {
protected:
    ImportSession s;
};

// Mean absolute difference of the cloud's ground from the terrain model
// sheets, which are made from the same ground; the pond, the warehouse roof
// and the embankment are in the cloud only.
double meanDifferenceFromNmt(const std::vector<terrain::TerrainTile>& tiles, double step) {
    double sum = 0;
    long n = 0;
    for (const terrain::TerrainTile& t : tiles)
        for (const terrain::TerrainPoint& p : t.points) {
            // A node stands for the cell north-east of it.
            const geoportal::Xy centre{p.x + step / 2, p.y + step / 2};
            sum += std::abs(p.height - geoportal::demoElevation(geoportal::ElevationModelKind::Terrain, centre));
            ++n;
        }
    return n ? sum / static_cast<double>(n) : NAN;
}

TEST_P(CloudGroundFetch, GroundWaterAndContoursFromTheTilesThatCame) {
    const CloudFault& f = GetParam();
    if (f.faulty) {
        geoportal::FaultRule rule;
        rule.fault.kind = f.kind;
        rule.contains = f.match;
        rule.remaining = -1;
        DemoServices::instance().server().faults().add(rule);
    }
    ASSERT_TRUE(s.ask(ImportSession::demoFetch({"dzialki", "terenchmura", "poziomicechmura", "wodachmura"})).is_null());
    const json done = s.waitFor("fetchDone", std::chrono::seconds(240));
    ASSERT_FALSE(done.is_null());
    const std::string warning = done.value("warning", "");
    EXPECT_NE(warning.find(f.warning), std::string::npos) << warning;
    EXPECT_EQ(done["counts"].value("dzialki", 0), demo::kParcels);
    const import::CloudGround& got = s.controller().fetched().cloudGround;
    if (!f.groundArrives) {
        EXPECT_TRUE(got.empty());
        EXPECT_FALSE(done["counts"].contains("teren z chmury (Siatka)"));
        return;
    }
    ASSERT_FALSE(got.terrainTiles.empty());
    EXPECT_EQ(done["counts"].value("teren z chmury (Siatka)", 0), static_cast<int>(got.terrainTiles.size()));
    EXPECT_EQ(done["counts"].value("poziomice z chmury (warstwice)", 0), static_cast<int>(got.contours.size()));
    EXPECT_GE(got.contours.size(), 5u);

    // One flat surface, over the pond only, at its level.
    ASSERT_EQ(got.water.outlines.size(), 1u);
    EXPECT_EQ(done["counts"].value("woda z chmury (Siatka)", 0), 1);
    EXPECT_EQ(static_cast<float>(got.water.level), static_cast<float>(geoportal::demoPondLevel()));
    for (const geo::Point2d& p : got.water.outlines.front())
        EXPECT_LT(std::hypot(p.x - demo::kPondCentre.x, p.y - demo::kPondCentre.y), demo::kPondRadius + 1.5);

    // The middle of the warehouse has no ground under its roof: no node there,
    // neither a lake nor a pit.
    const geoportal::Box& w = demo::kWarehouse;
    for (const terrain::TerrainTile& t : got.terrainTiles)
        for (const terrain::TerrainPoint& p : t.points)
            EXPECT_FALSE(std::abs(p.x - (w.minX + w.maxX) / 2) < 2 && std::abs(p.y - (w.minY + w.maxY) / 2) < 2)
                << p.x << " " << p.y << " " << p.height;

    const double difference = meanDifferenceFromNmt(got.terrainTiles, 1.0);
    std::cout << "cloud terrain vs NMT, mean |dz| = " << difference << " m\n";
    RecordProperty("mean_abs_dz_mm", static_cast<int>(std::lround(difference * 1000)));
    EXPECT_LT(difference, 0.1);
}

INSTANTIATE_TEST_SUITE_P(Tiles, CloudGroundFetch, ::testing::ValuesIn(kCloudFaults),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(CloudGroundPlace, MeshesContoursAndWaterArePlacedOnTheirLayers) {
    ImportSession s;
    ASSERT_TRUE(s.ask(ImportSession::demoFetch({"terenchmura", "poziomicechmura", "wodachmura"})).is_null());
    const json done = s.waitFor("fetchDone", std::chrono::seconds(240));
    ASSERT_FALSE(done.is_null());
    const tools::DemoFrame f = tools::demoFrame();
    ASSERT_EQ(s.ask({{"type", "setOrigin"}, {"lat", (f.south + f.north) / 2}, {"lon", (f.west + f.east) / 2}})
                  .value("type", ""),
              "originSet");
    ASSERT_TRUE(s.settle());
    const json placed = s.ask({{"type", "place"}});
    ASSERT_EQ(placed.value("type", ""), "placeDone") << placed.dump();
    EXPECT_EQ(placed["counts"].value("teren z chmury (Siatka)", 0), done["counts"].value("teren z chmury (Siatka)", -1));
    EXPECT_EQ(placed["counts"].value("woda z chmury (Siatka)", 0), 1) << placed.dump() << done.dump();
    EXPECT_EQ(placed["counts"].value("poziomicechmura3d", 0), 1);
}

}  // namespace
}  // namespace kl::testing
