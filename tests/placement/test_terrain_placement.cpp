#include <gtest/gtest.h>

#include <map>

#include "host/core/workbench.h"
#include "placement/place_command.h"
#include "placement/terrain_in_zone.h"
#include "tests/placement/workbench_fixture.h"

using namespace kl;
using placement::MeshGrid;
using terrain::Contour;

namespace {

// A tile of n x n nodes `step` apart from (x0, y0), outlined by its own nodes.
MeshGrid tile(double x0, double y0, int n, double step, double (*height)(double, double)) {
    MeshGrid g;
    const double x1 = x0 + (n - 1) * step, y1 = y0 + (n - 1) * step;
    g.corners = placement::cornersOf(x0, y0, x1, y1);
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c) g.points.push_back({x0 + c * step, y0 + r * step, height(x0 + c * step, y0 + r * step)});
    return g;
}

double slope(double x, double y) { return 100.0 + 0.1 * x + 0.2 * y; }

// An index contour 40 m long running west, a closed one, and a stub of 0.99 m.
std::vector<Contour> threeContours() {
    return {{105, true, {{40, 5}, {0, 5}}},
            {104, false, {{10, 10}, {20, 10}, {20, 20}, {10, 20}, {10, 10}}},
            {106, false, {{30, 30}, {30.99, 30}}}};
}

class TerrainPlacement : public placement_tests::WorkbenchFixture {
protected:
    placement::PlaceOutcome place(const placement::GroundInput& ground, placement::PlacementTransform t = {}) {
        return placement::runPlaceCommand(&host::Workbench::hostTable(), {}, t, settings_, {}, 2180, {}, ground);
    }
};

// The frame 0..20 m in four tiles of 11 x 11 nodes; neighbours share a seam
// column or row of nodes.
TEST_F(TerrainPlacement, TileMeshesTileTheFrameWithoutOverlapAndMeetOnTheSeam) {
    placement::GroundInput ground;
    for (double y0 : {0.0, 10.0})
        for (double x0 : {0.0, 10.0}) ground.tiles.push_back(tile(x0, y0, 11, 1.0, slope));
    ground.tileBaseHeight = 100.0;
    const placement::PlacementTransform t{0, 0, 0.3, 5, 7};
    const auto placed = place(ground, t);
    ASSERT_TRUE(placed.ok()) << placed.result.error;
    EXPECT_EQ(placed.result.counts.at("teren (Siatka)"), 4);

    const auto meshes = elements(KL_ELEM_MESH);
    ASSERT_EQ(meshes.size(), 4u);
    for (size_t i = 0; i < meshes.size(); ++i) {
        const host::ElementRecord& m = *meshes[i];
        ASSERT_EQ(m.coords.size(), 5u);
        // the outline is the tile's own corners, so neighbours neither overlap nor leave a gap
        for (size_t k = 0; k < 5; ++k) {
            const geo::Point2d want = t.apply(ground.tiles[i].corners[k % 4]);
            EXPECT_NEAR(m.coords[k].x, want.x, 1e-9);
            EXPECT_NEAR(m.coords[k].y, want.y, 1e-9);
        }
        EXPECT_EQ(m.levelPoints.size(), 121u);
        // each corner carries the height of its own node
        const geo::Point2d corner = ground.tiles[i].corners[2];
        EXPECT_NEAR(m.boundaryZ[2], slope(corner.x, corner.y) - 100.0, 1e-12);
        EXPECT_EQ(m.boundaryZ[4], m.boundaryZ[0]);
    }
}

// Unlike a cloud piece, a tile mesh the host refuses fails the import: the first tile goes back too.
TEST_F(TerrainPlacement, RefusedTileMeshRollsTheWholeImportBack) {
    placement::GroundInput ground;
    ground.tiles = {tile(0, 0, 3, 1.0, slope), tile(2, 0, 3, 1.0, slope)};
    const std::string before = wb_->project().serialise();
    wb_->faults().arm({"CreateElement", 2, KL_ERR_MEMFULL, false, 0});
    const auto placed = place(ground);
    EXPECT_FALSE(placed.ok());
    EXPECT_EQ(placed.result.error, "Blad tworzenia Siatki terenu (kod " + std::to_string(KL_ERR_MEMFULL) + ")");
    EXPECT_EQ(wb_->project().serialise(), before);
    EXPECT_EQ(wb_->project().memos().live(), 0u);
}

// The layers and the level lines at their heights are what GDAL reads of the
// drawing (the batch import's test); here the pens, the label and the mesh's
// outline.
TEST_F(TerrainPlacement, ContoursAreDrawnLabelledUprightAndMeshedThroughLevelLines) {
    placement::GroundInput ground;
    ground.contours.contours = threeContours();
    ground.contours.frame = placement::cornersOf(0, 0, 50, 50);
    ground.contours.lines = ground.contours.mesh = true;
    ground.contours.baseHeight = 100.0;
    const auto placed = place(ground, {0, 0, 0.5, 0, 0});
    ASSERT_TRUE(placed.ok()) << placed.result.error;
    EXPECT_EQ(placed.result.counts,
              (std::map<std::string, int32_t>{{"poziomice2d", 3}, {"podpisy rzednych", 1}, {"poziomice3d", 1}}));
    EXPECT_TRUE(placed.result.warnings.empty());

    const auto lines = elements(KL_ELEM_POLYLINE);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0]->element.pen, 2);  // index contour
    EXPECT_EQ(lines[1]->element.pen, 1);
    const auto labels = elements(KL_ELEM_TEXT);
    ASSERT_EQ(labels.size(), 1u);
    EXPECT_EQ(labels[0]->text, "105,00");
    EXPECT_EQ(labels[0]->element.pen, 2);
    EXPECT_DOUBLE_EQ(labels[0]->element.textSizeMm, 2.0);
    // the westward line reads at angle 0, turned back by the project's rotation
    EXPECT_NEAR(labels[0]->element.textAngleRad, -0.5, 1e-12);
    const geo::Point2d at = placement::PlacementTransform{0, 0, 0.5, 0, 0}.apply({20, 5});
    EXPECT_NEAR(labels[0]->element.textLoc.x, at.x, 1e-9);
    EXPECT_NEAR(labels[0]->element.textLoc.y, at.y, 1e-9);

    const auto meshes = elements(KL_ELEM_MESH);
    ASSERT_EQ(meshes.size(), 1u);
    // corners (0,0) and (50,0) are nearest the index contour, (50,50) and (0,50) the closed one
    EXPECT_EQ(meshes[0]->boundaryZ, (std::vector<double>{5, 5, 4, 4, 5}));
}

// A contour mesh counts only when the host made it; anything else is said.
TEST_F(TerrainPlacement, ContourMeshCountsOnlyWhenMade) {
    const placement::MeshCorners frame = placement::cornersOf(0, 0, 50, 50);
    const std::string tooFew = "Poziomice: za malo warstwic albo zbyt waski kadr na Siatke 3D - nie utworzono jej.";
    const struct {
        const char* name;
        std::vector<Contour> contours;
        placement::MeshCorners frame;
        bool hostRefusesMesh;
        std::string warning;
    } cases[] = {
        {"only stubs", {{105, true, {{0, 5}, {0.99, 5}}}, {104, false, {{0, 9}, {0.5, 9}, {0.9, 9}}}}, frame, false,
         tooFew},
        {"host refuses", threeContours(), frame, true, "Poziomice: nie udalo sie utworzyc Siatki 3D z warstwic."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        freshProject();
        placement::GroundInput ground;
        ground.contours.contours = c.contours;
        ground.contours.frame = c.frame;
        ground.contours.mesh = true;
        // the labels come first; the mesh is the last element created
        if (c.hostRefusesMesh) wb_->faults().arm({"CreateElement", 2, KL_ERR_GENERAL, false, 0});
        const auto placed = place(ground);
        ASSERT_TRUE(placed.ok());
        EXPECT_EQ(placed.result.counts.count("poziomice3d"), 0u);
        EXPECT_EQ(placed.result.skipped, c.hostRefusesMesh ? 1 : 0);
        EXPECT_EQ(placed.result.warnings, std::vector{c.warning});
        EXPECT_TRUE(elements(KL_ELEM_MESH).empty());
    }
}

TEST(TerrainBaseHeight, TakesTheFirstKnownSource) {
    const struct {
        placement::BaseHeightSources sources;  // elevation model, cloud, survey point, anchor
        double expected;
    } cases[] = {
        {{84.5, 90.0, 70.0, 60.0}, 84.5},
        {{std::nullopt, std::nullopt, 0.0, 60.0}, 60.0},  // a survey point at 0 falls through to the anchor
        {{std::nullopt, std::nullopt, 0.0, std::nullopt}, 0.0},
    };
    for (const auto& c : cases) EXPECT_EQ(placement::terrainBaseHeight(c.sources), c.expected) << c.expected;
}

}  // namespace

// The ground from the cloud: tiles and water on their own layers; a tile of one
// point stands at its height above the base everywhere, one without points not
// at all; the water lies flat at its level over its outline only. A piece the
// host refuses is skipped and counted, the rest of the import stays, and the
// diagnostics file is a help, never a condition: its folder is blocked by a file.
TEST_F(TerrainPlacement, CloudGroundTilesAndFlatWaterOnTheirLayers) {
    ::setenv("KL_DIAG_DIR", diag_.write("not-a-folder", "x").c_str(), 1);
    placement::GroundInput ground;
    ground.cloud.terrain = {MeshGrid{placement::cornersOf(0, 0, 10, 10), {{5, 5, 101.5}}},
                            MeshGrid{placement::cornersOf(20, 0, 30, 10), {}}};
    ground.cloud.water.level = 101.25;
    ground.cloud.water.outlines = {{{2, 2}, {6, 2}, {6, 5}, {2, 5}, {2, 2}}, {{7, 7}, {9, 7}, {9, 9}, {7, 7}}};
    ground.cloud.baseHeight = 100.0;
    wb_->faults().arm({"CreateElement", 3, KL_ERR_MEMFULL, false, 0});  // the second water surface
    const auto placed = place(ground);
    ASSERT_TRUE(placed.ok()) << placed.result.error;
    EXPECT_EQ(placed.result.counts.at("teren z chmury (Siatka)"), 1);
    EXPECT_EQ(placed.result.counts.at("woda z chmury (Siatka)"), 1);
    EXPECT_EQ(placed.result.skipped, 1);

    const auto meshes = elements(KL_ELEM_MESH);
    ASSERT_EQ(meshes.size(), 2u);
    EXPECT_EQ(layerName(meshes[0]->element.layer), "GIS_TEREN_CHMURA");
    EXPECT_EQ(meshes[0]->boundaryZ, std::vector<double>(5, 1.5));
    ASSERT_EQ(meshes[0]->levelPoints.size(), 1u);
    EXPECT_EQ(meshes[0]->levelPoints[0].z, 1.5);
    EXPECT_EQ(meshes[0]->levelEnds, std::vector<int32_t>{1});
    const host::ElementRecord& water = *meshes[1];
    EXPECT_EQ(layerName(water.element.layer), "GIS_WODA_CHMURA");
    ASSERT_EQ(water.coords.size(), 5u);  // the first outline's corners, closed
    EXPECT_EQ(water.coords[2].x, 6);
    EXPECT_EQ(water.coords[2].y, 5);
    EXPECT_TRUE(water.levelPoints.empty());
    for (const double z : water.boundaryZ) EXPECT_DOUBLE_EQ(z, 1.25);
}
