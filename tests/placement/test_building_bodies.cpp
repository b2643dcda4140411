#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>
#include <string>

#include "geodata/polish_crs.h"
#include "host/core/workbench.h"
#include "placement/place_command.h"
#include "placement/rebuilt_in_zone.h"
#include "placement/building_bodies.h"
#include "placement/morph_builder.h"
#include "placement/slab_maker.h"
#include "placement/surface_materials.h"
#include "tests/placement/workbench_fixture.h"

using namespace kl;
using buildings::FaceKind;
using buildings::Lod1Building;
using buildings::Lod2Building;
using buildings::Lod2Face;
using placement::BodyFace;
using placement::Ring3;
using placement_tests::expectClosedOutward;
using placement_tests::polygonLoops;

namespace {

constexpr double kE = 500000, kN = 250000, kZOff = 100;  // source origin; base height taken off every z

// ---- building fixtures, source coordinates
Ring3 lifted(const std::vector<geo::Point2d>& ring, double z) {
    Ring3 out;
    for (const auto& p : ring) out.push_back({kE + p.x, kN + p.y, z});
    return out;
}

Ring3 reversed(Ring3 r) {
    std::reverse(r.begin(), r.end());
    return r;
}

// Walls along a ring, facing to the right of its walk: outward for a
// counter-clockwise outline, into the courtyard for a clockwise hole.
void addWalls(std::vector<Lod2Face>& faces, const std::vector<geo::Point2d>& ring, double z0, double z1) {
    for (size_t i = 0; i < ring.size(); ++i) {
        const auto a = ring[i], b = ring[(i + 1) % ring.size()];
        faces.push_back({FaceKind::Wall,
                         {{kE + a.x, kN + a.y, z0}, {kE + b.x, kN + b.y, z0}, {kE + b.x, kN + b.y, z1}, {kE + a.x, kN + a.y, z1}},
                         {}});
    }
}

// A flat-roofed block over a counter-clockwise outline with clockwise courtyards.
Lod2Building block(const std::string& id, const std::vector<geo::Point2d>& outline,
                   const std::vector<std::vector<geo::Point2d>>& courtyards = {}, double z0 = 120, double z1 = 129) {
    Lod2Building b{id, "1000", {}};
    Lod2Face ground{FaceKind::Ground, reversed(lifted(outline, z0)), {}};
    Lod2Face roof{FaceKind::Roof, lifted(outline, z1), {}};
    for (const auto& c : courtyards) {
        ground.holes.push_back(reversed(lifted(c, z0)));
        roof.holes.push_back(lifted(c, z1));
    }
    b.faces = {ground, roof};
    addWalls(b.faces, outline, z0, z1);
    for (const auto& c : courtyards) addWalls(b.faces, c, z0, z1);
    return b;
}

const std::vector<geo::Point2d> kRect{{0, 0}, {10, 0}, {10, 6}, {0, 6}};
const std::vector<geo::Point2d> kYard{{0, 0}, {30, 0}, {30, 20}, {0, 20}};
const std::vector<geo::Point2d> kCourt{{10, 5}, {10, 15}, {20, 15}, {20, 5}};  // clockwise

class BuildingBodies : public placement_tests::WorkbenchFixture {
protected:
    const placement::PlacementTransform transform_{kE, kN, 0, 0, 0};
};

// A face wound against its neighbours, or crossing itself, falls back to loose
// triangles, a body without a face is skipped; the rest stand closed and outward.
TEST_F(BuildingBodies, Lod2BuildingsStandAsClosedOutwardSolids) {
    Lod2Building wrong = block("odwrocona.sciana", kRect);
    wrong.faces[3].exterior = reversed(wrong.faces[3].exterior);
    // A pentagram turns the same way at every corner, so it passes for convex.
    Lod2Building star{"gwiazda", "", {{FaceKind::Roof, {}, {}}}};
    Ring3& top = star.faces[0].exterior;
    for (int i = 0; i < 5; ++i)
        top.push_back({kE + 10 * std::cos(0.8 * M_PI * i), kN + 10 * std::sin(0.8 * M_PI * i), 125});
    star.faces.push_back({FaceKind::Wall, {top[0], top[1], {kE + 10, kN, 120}}, {}});
    const std::vector<Lod2Building> set = {block("kostka", kRect), block("podworze", kYard, {kCourt}), wrong, star,
                                           {"pusty", "", {{FaceKind::Roof, lifted({{0, 0}, {1, 1}}, 120), {}}}}};
    placement::PlaceResult result;
    placement::BodyReport report;
    placement::TriangulationStats stats;
    inStep([&] {
        stats = placement::placeLod2Buildings(set, transform_, kZOff, 1, result, report);
        return KL_NOERROR;
    });
    EXPECT_EQ(result.counts["budynkilod2"], 4);
    EXPECT_EQ(result.skipped, 1);
    EXPECT_EQ(report.lines, std::vector<std::string>{"KARTOLINK LOD2: utworzono 4 (czyste: 2, triangulacja: 0, "
                                                     "zupa: 2), pominieto 1 (zdegenerowane: 1)"});
    const auto morphs = elements(KL_ELEM_MORPH);
    ASSERT_EQ(morphs.size(), 4u);
    for (const auto* m : morphs) {
        SCOPED_TRACE(m->infoString);
        ASSERT_TRUE(m->body);
        if (m->infoString != "odwrocona.sciana" && m->infoString != "gwiazda") expectClosedOutward(*m->body);
        for (const auto& v : m->body->vertices) EXPECT_GE(v.z, 19.999);  // heights less the base height
    }
    // the courtyard's roof and ground are cut with their hole: 4 + 4 points and one hole give 8 triangles each
    size_t yardTriangles = 0;
    for (const auto& loop : polygonLoops(*morphs[1]->body))
        if (loop.size() == 3) ++yardTriangles;
    EXPECT_EQ(yardTriangles, 16u);
    EXPECT_EQ(stats.fanFallbacks, 0);
}

Ring3 square(double lift) { return {{0, 0, 0}, {4, 0, 0}, {4, 4, lift}, {0, 4, 0}}; }

TEST_F(BuildingBodies, FacesBecomePolygonsOrTriangles) {
    const Ring3 lFace{{0, 0, 0}, {4, 0, 0}, {4, 1, 0}, {1, 1, 0}, {1, 3, 0}, {0, 3, 0}};
    const Ring3 left{{0, 0, 0}, {4, 0, 0}, {4, 4, 0}, {0, 4, 0}}, right{{4, 0, 0}, {8, 0, 0}, {8, 4, 0}, {4, 4, 0}};
    const struct {
        const char* name;
        std::vector<BodyFace> faces;
        placement::MorphMode mode;
        size_t polygons, edges;
        int nonPlanar;
    } cases[] = {
        {"planar square with its closing point", {{{left[0], left[1], left[2], left[3], left[0]}, {}}}, {false, true},
         1, 4, 0},
        {"L shape is ear-clipped", {{lFace, {}}}, {false, true}, 4, 9, 0},
        {"a corner 5 cm off the plane stays", {{square(0.05), {}}}, {false, true}, 1, 4, 0},
        {"a corner 6 cm off the plane is cut", {{square(0.06), {}}}, {false, true}, 2, 5, 1},
        {"a shared edge is one host edge", {{left, {}}, {right, {}}}, {false, true}, 2, 7, 0},
        {"loose faces keep their own edges", {{left, {}}, {right, {}}}, {false, false}, 2, 8, 0},
        {"all triangles", {{left, {}}, {right, {}}}, {true, true}, 4, 9, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        freshProject();
        placement::TriangulationStats stats;
        KlErr err = KL_ERR_GENERAL;
        inStep([&] {
            err = placement::makeMorph(c.faces, 1, c.mode, 1, &stats, "");
            return KL_NOERROR;
        });
        const auto morphs = elements(KL_ELEM_MORPH);
        ASSERT_EQ(err, KL_NOERROR);
        ASSERT_EQ(morphs.size(), 1u);
        EXPECT_EQ(morphs[0]->body->polygons.size(), c.polygons);
        EXPECT_EQ(morphs[0]->body->edges.size(), c.edges);
        EXPECT_EQ(stats.nonPlanar, c.nonPlanar);
    }
}

TEST_F(BuildingBodies, Lod1BlocksBecomeSlabsExceptWhereLod2Stands) {
    const std::vector<Lod1Building> blocks = {
        {"blok.1", {{kE, kN}, {kE + 10, kN}, {kE + 10, kN + 6}, {kE, kN + 6}}, 120, 9},
        {"Dach.Jest", {{kE + 20, kN}, {kE + 30, kN}, {kE + 30, kN + 6}}, 121, 5},
        {"zero", {{kE, kN}, {kE + 1, kN}, {kE + 1, kN + 1}}, 120, 0},
        {"", {{kE, kN}, {kE + 1, kN}}, 120, 4},
    };
    const auto ids = placement::lod2BuildingIds({{"dach.JEST", "", {{FaceKind::Roof, lifted(kRect, 120), {}}}},
                                                 {"bez.scian", "", {{FaceKind::Roof, lifted({{0, 0}}, 120), {}}}}});
    EXPECT_EQ(ids, (std::set<std::string>{"DACH.JEST"}));
    placement::PlaceResult result;
    placement::BodyReport report;
    inStep([&] {
        placement::placeLod1Blocks(blocks, ids, transform_, kZOff, 1, result, report);
        return KL_NOERROR;
    });
    EXPECT_EQ(result.counts["budynki3d"], 1);
    EXPECT_EQ(result.skipped, 2);
    EXPECT_EQ(report.lines, std::vector<std::string>{"KARTOLINK LOD1: pominieto 1 bryl dublujacych sie z dachami LOD2 "
                                                     "(zostawiono LOD2); postawiono LOD1 tylko tam, gdzie brak LOD2."});
    const auto slabs = elements(KL_ELEM_SLAB);
    ASSERT_EQ(slabs.size(), 1u);
    const auto& slab = *slabs[0];
    EXPECT_EQ(slab.infoString, "blok.1");
    EXPECT_DOUBLE_EQ(slab.element.thickness, 9);
    EXPECT_DOUBLE_EQ(slab.element.level, 29);  // top: base 120 - 100 + 9
    EXPECT_EQ(slab.coords.size(), 5u);         // the open footprint closed once
    EXPECT_EQ(slab.element.material, wb_->project().attributes().list(KL_ATTR_BUILDINGMATERIAL).at(0).index);
}

// Roofs from the cloud stand, one per LOD1 footprint, the flagged one marked for
// review; the nMPT blocks are not one per footprint, so none is placed and the user is told.
TEST_F(BuildingBodies, RebuiltShapesStandInsteadOfTheirFootprintsAndStandInsAreMarkedForReview) {
    const double e = 226000, n = 380000;  // PL-1992 metres near the demo site
    const geo::Ring square = {{e, n}, {e + 10, n}, {e + 10, n + 8}, {e, n + 8}};
    import::FetchedData fetched;
    fetched.lod1Buildings = {{"a", square, 190, 7}, {"b", square, 190, 7}, {"c", square, 190, 7}};
    const auto flat = [&](double z) {
        buildings::Face f;
        for (const auto& p : square) f.push_back({p.x, p.y, z});
        return f;
    };
    fetched.cloudRoofs = {{{{flat(199)}, 0, 0.9}, {{flat(196)}, 1, 0.1}, {}}, "punkty=9"};
    fetched.surfaceModelBlocks = {{{{flat(199)}, 0, 0.8}}, "bryly=1"};
    const int zone = 2176;
    // A surface of that name from an earlier import is used again, whatever its colour now.
    inStep([] {
        return placement::findOrCreateSurface("GIS Dach z chmury", {1, 1, 1}) > 0 ? KL_NOERROR : KL_ERR_GENERAL;
    });
    placement::BuildingModels models = placement::buildingModelsInZone(fetched.lod1Buildings, {}, zone);
    models.zOff = placement::lowestModelHeight(models);
    models.placeLod1 = false;
    models.rebuilt = placement::rebuiltInZone(fetched, zone);
    const auto placed = placement::runPlaceCommand(&host::Workbench::hostTable(), {},
                                                placement::transformForSurveyPoint(geo::pl1992ToPl2000(e, n, zone)),
                                                settings_, {}, zone, models);
    ASSERT_TRUE(placed.ok());
    EXPECT_EQ(placed.result.counts, (std::map<std::string, int>{{"dachychmura", 2}}));
    EXPECT_EQ(placed.result.skipped, 1);  // the roof without faces
    const std::string notPlaced = "KARTOLINK budynki nMPT: nie postawiono 1 bryl - ich liczba rozni sie od liczby "
                                  "budynkow LOD1 (3), wiec nie wiadomo, ktora bryla nalezy do ktorego budynku.";
    EXPECT_EQ(placed.reportLines,
              (std::vector<std::string>{"KARTOLINK dachy z chmury: utworzono 2 (oznaczono do korekty: 1), pominieto 1",
                                        notPlaced}));
    EXPECT_EQ(placed.result.warnings, std::vector<std::string>{notPlaced});
    std::multiset<std::string> surfaces;
    for (const auto& [seq, rec] : wb_->project().elements().all()) {
        ASSERT_EQ(rec->element.type, KL_ELEM_MORPH);  // the footprints stand as no slab
        const auto* surface = wb_->project().attributes().find(KL_ATTR_SURFACE, rec->body->polygons.at(0).material);
        surfaces.insert(surface->name);
        EXPECT_EQ(surface->red, surface->name.ends_with(" - POPRAW") ? 0.9 : surface->red) << "the review colour";
    }
    size_t named = 0;
    for (const auto& a : wb_->project().attributes().list(KL_ATTR_SURFACE)) named += a.name == "GIS Dach z chmury";
    EXPECT_EQ(named, 1u);
    EXPECT_EQ(surfaces, (std::multiset<std::string>{"GIS Dach z chmury", "GIS Dach z chmury - POPRAW"}));
}

}  // namespace
