// Against the local geoportal, the stages that rebuild buildings on the LOD1
// footprints: one result per footprint or a word on what was missing, and
// the footprints worked on in parallel; and the frame's cloud they read.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/service_hosts.h"
#include "import/cloud_roofs_stage.h"
#include "import/elevation_stages.h"
#include "import/frame_cloud.h"
#include "import/parallel_footprints.h"
#include "import/surface_model_stage.h"
#include "net/sheet_index_text.h"
#include "tests/import/import_session.h"
#include "tests/net/fault_server.h"
#include "tools/geoportal/demo_area.h"

namespace kl::import {
namespace {

using testing::Said;
namespace demo = geoportal::demo;

// Inside one PL-1992 LiDAR sheet of the demo; the second frame lies in the
// sheet delivered in another PL-2000 zone.
const geo::Bbox kSheetFrame{260550, 382760, 260700, 382900};
const geo::Bbox kForeignZoneFrame{260550, 383010, 260700, 383070};
constexpr int kWorkingZone = 2176;

buildings::Lod1Building box(double e, double n, double w, double h) {
    return {"", {{e, n}, {e + w, n}, {e + w, n + h}, {e, n + h}}, 190, 10};
}

// A house, a footprint of two points and a shed, in that order.
std::vector<buildings::Lod1Building> threeFootprints(const geo::Bbox& f) {
    auto twoPoints = box(f.minX + 40, f.minY + 10, 5, 5);
    twoPoints.footprint.resize(2);
    return {box(f.minX + 10, f.minY + 10, 12, 9), twoPoints, box(f.minX + 60, f.minY + 30, 4, 3)};
}

struct Fault {
    std::string pathPrefix;
    geoportal::FaultKind kind;
};

struct StageRow {
    const char* what;
    bool cloud;  // the roofs stage, else the surface-model stage
    geo::Bbox frame;
    std::vector<Fault> faults;
    std::vector<std::string> said;  // each a start of one warning, in order
    bool items;
    bool cancelled = false;  // the user cancels before anything comes
};

// Each row with its own cache, so no row is answered from an earlier one's downloads.
RebuiltLayer run(const StageRow& row, Said& said) {
    testing::DemoServices& services = testing::DemoServices::instance();
    services.freshCache();
    services.server().faults().clear();
    for (const Fault& f : row.faults) services.addFault(f.kind, "", 0, f.pathPrefix);
    net::WfsClient client{test::loopbackTimings(), settings::serviceHostsWithOverride(services.baseUrl())};
    const StageIo io = said.io(row.cancelled);
    if (row.cloud) return cloudRoofs(client, threeFootprints(row.frame), row.frame, kWorkingZone, io);
    const TerrainSheets nmt = loadTerrainSheets(client, row.frame, net::currentUtcYear(), "NMT", "NMT: ", io);
    return surfaceModelBlocks(client, threeFootprints(row.frame), row.frame, nmt, io);
}

TEST(RebuiltStages, OneResultPerFootprintOrAWordOnWhatWasMissing) {
    const std::string nmpt(demo::kNmptIndexPath), tiles(demo::kLidarTilePathPrefix);
    const std::vector<StageRow> rows = {
        {"blocks", false, kSheetFrame, {}, {"Budynki nMPT: 2 bryl z 3 obrysow LOD1"}, true},
        {"surface model index failing", false, kSheetFrame, {{nmpt, geoportal::FaultKind::Status}},
         {"Budynki nMPT: Skorowidz NMPT nie odpowiada", "Budynki (nMPT): brak pokrycia nMPT lub NMT dla tego kadru."}, false},
        {"roofs", true, kSheetFrame, {},
         {"Dachy z chmury: Skorowidz LiDAR", "Dachy z chmury: 2 dachow z 3 obrysow LOD1"}, true},
        {"the only tile cut short", true, kSheetFrame, {{tiles, geoportal::FaultKind::Truncate}},
         {"Dachy z chmury: Skorowidz LiDAR", "Dachy z chmury: kafel ", "Dachy z chmury: chmura pusta w kadrze."},
         false},
        {"the only tile in another zone", true, kForeignZoneFrame, {},
         {"Dachy z chmury: Skorowidz LiDAR", "Dachy z chmury: kafle LiDAR w obcej strefie (PL-2000), pominieto 1: ",
          "Dachy z chmury: chmura pusta w kadrze."},
         false},
        {"blocks cancelled", false, kSheetFrame, {}, {}, false, true},
        {"roofs cancelled", true, kSheetFrame, {}, {}, false, true},
    };
    for (const StageRow& row : rows) {
        Said said;
        const RebuiltLayer got = run(row, said);
        ASSERT_EQ(said.warnings.size(), row.said.size()) << row.what << ": " << ::testing::PrintToString(said.warnings);
        for (std::size_t i = 0; i < row.said.size(); ++i)
            EXPECT_EQ(said.warnings[i].rfind(row.said[i], 0), 0u) << row.what << ": " << said.warnings[i];
        if (!row.items) {
            EXPECT_TRUE(got.items.empty()) << row.what;
            continue;
        }
        ASSERT_EQ(got.items.size(), 3u) << row.what;
        EXPECT_TRUE(got.items[1].faces.empty()) << row.what << ": the two-point footprint";
        for (std::size_t i : {0u, 2u}) {
            ASSERT_FALSE(got.items[i].faces.empty()) << row.what;
            for (const auto& face : got.items[i].faces)
                for (const auto& p : face) {
                    EXPECT_TRUE(std::isfinite(p.z)) << row.what;
                    EXPECT_GE(p.z, demo::kLidarMinHeight - 1) << row.what;
                    EXPECT_LE(p.z, demo::kLidarMaxHeight + 3) << row.what;
                }
        }
        EXPECT_FALSE(got.diagnostic.empty()) << row.what;
    }
}

// The east edge 0.2 m short of the boundary between two demo sheets: the
// margin beyond it lies in the neighbouring sheet, which must be read too.
TEST(FrameCloud, TheMarginReachesIntoTheNeighbouringSheet) {
    testing::DemoServices& services = testing::DemoServices::instance();
    services.freshCache();
    services.server().faults().clear();
    net::WfsClient client{test::loopbackTimings(), settings::serviceHostsWithOverride(services.baseUrl())};
    const double boundary = 260750, margin = 0.5;
    Said said;
    const auto everyClass = [](std::uint8_t) { return true; };
    const FrameCloud cloud = loadFrameCloud(client, {260700, 382800, boundary - 0.2, 382850}, margin, 0,
                                            net::currentUtcYear(), "LiDAR", "", said.io(), everyClass);
    EXPECT_EQ(cloud.tilesAsked, 2) << ::testing::PrintToString(said.warnings);
    EXPECT_EQ(cloud.tilesRead, 2);
    double east = 0;
    for (const FrameCloudPoint& p : cloud.points) east = std::max(east, p.x);
    EXPECT_GT(east, boundary + 0.1);
    EXPECT_LE(east, boundary - 0.2 + margin);
}

TEST(ParallelFootprints, ResultsKeepTheFootprintsOrderAndAFailureReachesTheCaller) {
    std::vector<int> progress;
    const auto squares = mapInParallel<long>(
        1000, [](std::size_t i) { return static_cast<long>(i * i); },
        {[&](int done, int) { progress.push_back(done); }, {}}, 4);
    for (std::size_t i = 0; i < squares.size(); ++i) ASSERT_EQ(squares[i], static_cast<long>(i * i));
    EXPECT_EQ(progress.empty() ? -1 : progress.back(), 1000);

    EXPECT_THROW(mapInParallel<int>(
                     100,
                     [](std::size_t i) {
                         if (i == 57) throw std::runtime_error("zepsuty obrys");
                         return 0;
                     },
                     {}, 4),
                 std::runtime_error);
}

}  // namespace
}  // namespace kl::import
