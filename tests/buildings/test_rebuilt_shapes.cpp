// Shapes rebuilt from elevation data: the ground under a cloud, roof planes,
// flat roofs from the cloud, blocks from the surface models and bridge decks
// and road surfaces inside a corridor, on hand-made clouds and grids whose
// right answer is known, and on the broken inputs a county's data brings
// (degenerate footprints, NaN heights, a cloud without ground, birds).
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <random>
#include <set>
#include <tuple>

#include "buildings/ground_model.h"
#include "buildings/plane.h"
#include "buildings/roof_from_cloud.h"
#include "buildings/surface_in_ring.h"
#include "buildings/surface_model_block.h"
#include "geodata/corridor_ring.h"
#include "geodata/polygon.h"

namespace kl::buildings {
namespace {

// PL-1992 metres near the demo site, so precision is tested where it is lost.
constexpr double kE = 260500.0, kN = 382700.0;
constexpr double kGroundZ = 190.0;
const double kNaN = std::nan("");

geo::Ring box(double w, double h) { return {{kE, kN}, {kE + w, kN}, {kE + w, kN + h}, {kE, kN + h}}; }

// Ground returns every 2 m over a street-sized area around the site.
std::vector<CloudPoint> ground(double z = kGroundZ) {
    std::vector<CloudPoint> pts;
    for (double x = -20; x <= 40; x += 2)
        for (double y = -20; y <= 40; y += 2) pts.push_back({kE + x, kN + y, z, kGroundClass});
    return pts;
}

// One roof return in each of the first `count` one-metre cells of a footprint
// `cols` by `rows` cells, row by row and round again; heights rise by 1 cm each.
std::vector<CloudPoint> roofReturns(int count, int cols, int rows, double z) {
    std::vector<CloudPoint> pts;
    for (int i = 0; i < count; ++i)
        pts.push_back({kE + 0.5 + i % cols, kN + 0.5 + (i / cols) % rows, z + 0.01 * i, 6});
    return pts;
}

std::vector<CloudPoint> join(std::vector<CloudPoint> a, const std::vector<CloudPoint>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// --- the ground model ---

TEST(GroundModel, AnswersTheLowestGroundNearAndNothingFarOrWithoutGround) {
    const std::vector<CloudPoint> cloud = {{kE, kN, 200, 1},          {kE + 0.5, kN + 0.5, 192, kGroundClass},
                                           {kE + 1, kN + 1, 191, 2},  {kE + 2.5, kN, 190.5, kGroundClass},
                                           {kE, kN, kNaN, 2},         {kE + 30, kN + 30, 250, 5}};
    const GroundModel model = buildGroundModel(cloud, 2.0);
    struct Row {
        const char* name;
        double x, y;
        std::optional<double> expected;
    } rows[] = {
        {"own cell keeps its lowest return", kE + 0.1, kN + 0.1, 191},
        {"empty cell takes the lowest of its neighbours", kE + 4.5, kN + 2.5, 190.5},
        {"three cells away there is no ground", kE + 7, kN + 7, std::nullopt},
        {"below the origin, negative rows", kE + 1, kN - 1, 190.5},
        {"a query that is not finite", kNaN, kN, std::nullopt},
    };
    for (const Row& r : rows) EXPECT_EQ(groundHeightAt(model, r.x, r.y), r.expected) << r.name;

}

// --- planes ---

// The fit itself is compared with numpy's least squares in the roof fit oracle,
// and the lift onto a level plane in every roof and block below.
TEST(Plane, RefusesWhatSpansNone) {
    const auto on = [](double x, double y) { return Point3d{kE + x, kN + y, 0.3 * x - 0.2 * y + 200}; };

    struct Row {
        const char* name;
        std::vector<Point3d> points;
    } refused[] = {
        {"two points", {on(0, 0), on(1, 1)}},
        {"three on one line", {on(0, 0), on(1, 1), on(2, 2)}},
        {"one spot thrice", {on(1, 1), on(1, 1), on(1, 1)}},
        {"a NaN height", {on(0, 0), on(1, 0), {kE, kN + 1, kNaN}}},
    };
    for (const Row& r : refused) EXPECT_FALSE(fitPlane(r.points)) << r.name;
}

// --- roofs from the cloud ---

struct RoofCase {
    const char* name;
    geo::Ring footprint;
    std::vector<CloudPoint> cloud;
    std::optional<double> height;  // of the one face; nothing: no face
    int fallback;
    double coverage;
};

TEST(RoofFromCloud, FlatRoofOrAFlaggedStandIn) {
    const geo::Ring house = box(5, 10);  // 50 one-metre cells
    // Ground, then `n` roof returns from 200 m rising 1 cm each, then `more`.
    const auto roofed = [](int n, const std::vector<CloudPoint>& more = {}) {
        return join(join(ground(), roofReturns(n, 5, 10, 200)), more);
    };
    const std::vector<CloudPoint> bird{{kE + 2, kN + 2, 260, 7}, {kE + 3, kN + 3, 255, 18}};
    const std::vector<CloudPoint> nan{{kE + 2, kN + 2, kNaN, 6}, {kNaN, kN + 2, 300, 6}};
    const geo::Ring crossed{{kE, kN}, {kE + 5, kN + 10}, {kE + 5, kN}, {kE, kN + 6}};
    const RoofCase cases[] = {
        {"30 returns covering 0.6 give the median", house, roofed(30), 200.15, 0, 0.6},
        {"29 returns at full coverage fall back to the highest", box(5, 5), join(ground(), roofReturns(29, 5, 5, 200)),
         200.28, 1, 1.0},
        {"no raised return: 3 m above the ground", house, ground(), kGroundZ + 3, 1, 0.0},
        {"a bird (noise) over a sparse roof does not set its height", house, roofed(10, bird), 200.09, 1, 0.2},
        {"NaN heights are no returns", house, roofed(30, nan), 200.15, 0, 0.6},
        {"a cloud without ground: nothing to measure from", house, roofReturns(50, 5, 10, 200), std::nullopt, 1, 0.0},
        {"ground only beside the building is searched for", house,
         join(roofReturns(50, 5, 10, 200), {{kE - 6, kN - 6, kGroundZ, kGroundClass}}), 200.25, 0, 1.0},
        // Blocks from the surface models share these footprints' refusal; two
        // points are the rebuilding stages' row.
        {"a collinear footprint", {{kE, kN}, {kE + 5, kN}, {kE + 10, kN}}, roofed(50), std::nullopt, 1, 0.0},
        {"a footprint with a NaN vertex", {{kE, kN}, {kE + 5, kN}, {kNaN, kN + 5}}, roofed(50), std::nullopt, 1, 0.0},
        {"a self-intersecting footprint still gets a finite roof", crossed, roofed(50), 200.44, 1, 1.0},
        {"a footprint 1000 km wide (a stray vertex) is measured, not for hours", box(1e6, 1e6), roofed(50), 200.49, 1,
         0.0},
    };
    for (const RoofCase& c : cases) {
        SCOPED_TRACE(c.name);
        const CloudPointGrid grid(c.cloud);
        const ReconstructionResult r =
            roofFromCloud(c.footprint, grid, buildGroundModel(grid.points(), kRoofGroundCell), RoofFromCloudParams{});
        EXPECT_EQ(r.fallback, c.fallback);
        EXPECT_NEAR(r.coverage, c.coverage, 0.03);
        EXPECT_EQ(r.faces.size(), c.height ? 1u : 0u);
        if (!c.height || r.faces.size() != 1) continue;
        ASSERT_EQ(r.faces[0].size(), c.footprint.size());
        for (std::size_t i = 0; i < c.footprint.size(); ++i) {
            EXPECT_EQ(r.faces[0][i].x, c.footprint[i].x);
            EXPECT_EQ(r.faces[0][i].y, c.footprint[i].y);
            EXPECT_NEAR(r.faces[0][i].z, *c.height, 1e-9);
        }
    }
}

// --- blocks from the surface models ---

struct BlockCase {
    const char* name;
    geo::Ring footprint;
    HeightAt surface, terrain;
    std::optional<double> roof;  // nothing: no face
    int walls;
    int fallback;
    double coverage;
};

bool inHouse(double x, double y) { return x >= kE - 0.01 && x <= kE + 10.01 && y >= kN - 0.01 && y <= kN + 8.01; }

TEST(BlockFromSurfaceModel, RoofAtTheMedianAndWallsDownToTheTerrain) {
    const geo::Ring house = box(10, 8);
    const HeightAt flat = [](double, double) { return std::optional<double>(100.0); };
    const HeightAt roof110 = [](double x, double y) { return std::optional<double>(inHouse(x, y) ? 110.0 : 100.0); };
    // The south edge's ends stand on a bank just below the roof.
    const auto bank = [](double below) {
        return HeightAt([below](double, double y) { return std::optional<double>(y <= kN ? 110.0 - below : 100.0); });
    };
    const HeightAt none = [](double, double) { return std::optional<double>(); };
    const HeightAt nan = [](double, double) { return std::optional<double>(std::nan("")); };
    const HeightAt onlyMiddle = [](double x, double y) {
        return std::abs(x - kE - 5.1) < 0.01 && std::abs(y - kN - 4.1) < 0.01 ? std::optional<double>(107.0)
                                                                            : std::nullopt;
    };
    const BlockCase cases[] = {
        {"a house 10 m tall", house, roof110, flat, 110, 4, 0, 1.0},
        // The lattice row on the south edge stands on the bank: 1 of 16 rows not raised enough.
        {"0.9 m above the terrain at both ends: no wall", house, roof110, bank(0.9), 110, 3, 0, 0.9375},
        {"1.0 m above the terrain at both ends: a wall", house, roof110, bank(1.0), 110, 4, 0, 0.9375},
        {"a surface barely above the ground is flagged", house,
         [](double, double) { return std::optional<double>(100.5); }, flat, 100.5, 0, 1, 0.0},
        {"no surface model here", house, none, flat, std::nullopt, 0, 1, 0.0},
        {"NaN surface heights are missing ones", house, nan, flat, std::nullopt, 0, 1, 0.0},
        {"no terrain model: a roof without walls, flagged", house, roof110, none, 110, 0, 1, 0.0},
        {"only the middle has a height", {{kE + 4.9, kN + 3.9}, {kE + 5.3, kN + 3.9}, {kE + 5.3, kN + 4.3},
         {kE + 4.9, kN + 4.3}}, onlyMiddle, flat, 107, 4, 1, 0.0},
        {"a footprint 50 km wide is sampled coarser, not for minutes", box(50000, 50000), flat, flat, 100, 0, 1,
         0.0},
    };
    for (const BlockCase& c : cases) {
        SCOPED_TRACE(c.name);
        const ReconstructionResult r = blockFromSurfaceModel(c.footprint, {c.surface, c.terrain}, BlockParams{});
        EXPECT_EQ(r.fallback, c.fallback);
        EXPECT_NEAR(r.coverage, c.coverage, 1e-9);
        EXPECT_EQ(r.faces.size(), c.roof ? 1u + static_cast<std::size_t>(c.walls) : 0u);
        if (!c.roof || r.faces.empty()) continue;
        for (const Point3d& p : r.faces[0]) EXPECT_EQ(p.z, *c.roof);
        for (std::size_t w = 1; w < r.faces.size(); ++w) {
            ASSERT_EQ(r.faces[w].size(), 4u);
            EXPECT_EQ(r.faces[w][0].z, *c.roof);
            EXPECT_LT(r.faces[w][3].z, *c.roof);
        }
    }
}

// --- decks and roads inside a corridor ---


// Terrain rising 1 m per 100 m eastward; a deck 5 m above it for x in [20, 40].
std::optional<double> terrainAt(double x, double) { return 100.0 + 0.01 * x; }
std::optional<double> deckAt(double x, double y) { return *terrainAt(x, y) + (x >= 20 && x <= 40 ? 5.0 : 0.0); }
std::optional<double> nothingAt(double, double) { return std::nullopt; }

const geo::Ring kSquare{{20, 0}, {40, 0}, {40, 20}, {20, 20}};

struct SurfaceCase {
    const char* name;
    geo::Ring ring;
    SurfaceModelPair models;
    SurfaceParams params;
    std::size_t faces;
    int fallback;
    double coverage;
    double flatHeight;  // the stand-in's height; NaN: not a stand-in
};

SurfaceParams roadParams(geo::Bbox clip) {
    return {.minCoverage = 0, .useTerrain = true, .clip = true, .clipBox = clip};
}

TEST(SurfaceInRing, AcceptsCoveredCellsOrStandsInFlat) {
    const double nan = std::nan("");
    const SurfaceCase cases[] = {
        // 20 x 20 m at 0.5 m: the ring test takes the west and south edges in and the east and
        // north ones out, so 40 x 40 corners are inside and 39 x 39 cells
        {"DeckRaisedEverywhere", kSquare, {deckAt, terrainAt}, {}, 2u * 39 * 39, 0, 1.0, nan},
        {"DeckOverFlatGround", {{50, 0}, {70, 0}, {70, 20}, {50, 20}}, {deckAt, terrainAt}, {}, 1, 1, 0.0, 100.595},
        {"RoadClippedToFrame", {{50, 0}, {70, 0}, {70, 20}, {50, 20}}, {deckAt, terrainAt},
         roadParams({0, 0, 60, 100}), 2u * 20 * 39, 0, 0.0, nan},
        {"ClipMissesTheRing", kSquare, {deckAt, terrainAt}, roadParams({100, 100, 200, 200}), 0, 1, 0.0, nan},
        {"NoDataAtAll", kSquare, {nothingAt, nothingAt}, {}, 0, 1, 0.0, nan},
        {"TwoVertices", {{0, 0}, {10, 0}}, {deckAt, terrainAt}, {}, 0, 1, 0.0, nan},
        // too thin for one cell: the stand-in takes the model at the box's centre
        {"ThinnerThanACell", {{50, 0}, {70, 0}, {70, 0.2}, {50, 0.2}}, {deckAt, terrainAt}, {}, 1, 1, 0.0, 100.6},
    };
    for (const SurfaceCase& c : cases) {
        const ReconstructionResult r = surfaceInRing(c.ring, c.models, c.params);
        EXPECT_EQ(r.faces.size(), c.faces) << c.name;
        EXPECT_EQ(r.fallback, c.fallback) << c.name;
        EXPECT_DOUBLE_EQ(r.coverage, c.coverage) << c.name;
        if (!std::isnan(c.flatHeight) && !r.faces.empty()) {
            ASSERT_EQ(r.faces[0].size(), c.ring.size()) << c.name;
            for (const auto& p : r.faces[0]) EXPECT_NEAR(p.z, c.flatHeight, 1e-9) << c.name;
            continue;
        }
        for (const Face& f : r.faces) {  // triangles on their model, turned upwards
            ASSERT_EQ(f.size(), 3u) << c.name;
            const auto model = c.params.useTerrain ? terrainAt : deckAt;
            for (const auto& p : f) EXPECT_DOUBLE_EQ(p.z, *model(p.x, p.y)) << c.name;
            EXPECT_GT((f[1].x - f[0].x) * (f[2].y - f[0].y) - (f[1].y - f[0].y) * (f[2].x - f[0].x), 0.0) << c.name;
        }
    }
}

// Every cell of the box whose four corners pass the ring test, one by one.
std::set<std::tuple<double, double>> cellsByWholeBox(const geo::Ring& ring, double step) {
    // Plain names, not a structured binding: clang 14 cannot capture those.
    const geo::Bbox box = geo::ringBounds(ring);
    const double minX = box.minX, minY = box.minY, maxX = box.maxX, maxY = box.maxY;
    const auto in = [&](int i, int j) { return geo::ringContains(ring, {minX + i * step, minY + j * step}); };
    std::set<std::tuple<double, double>> cells;
    for (int j = 0; j < std::max(1, static_cast<int>((maxY - minY) / step)); ++j)
        for (int i = 0; i < std::max(1, static_cast<int>((maxX - minX) / step)); ++i)
            if (in(i, j) && in(i + 1, j) && in(i + 1, j + 1) && in(i, j + 1))
                cells.insert({minX + i * step, minY + j * step});
    return cells;
}

TEST(SurfaceInRing, RowWalkFindsExactlyTheCellsOfTheWholeBoxWalk) {
    std::mt19937 rng(8);
    std::uniform_real_distribution<double> coord(0.0, 60.0), width(1.0, 8.0);
    for (int r = 0; r < 40; ++r) {
        std::vector<geo::Point2d> line;
        for (int k = 0; k < 5; ++k) line.push_back({260000.0 + coord(rng), 380000.0 + coord(rng)});
        const std::vector<double> half(line.size(), width(rng));
        const geo::Ring ring = geo::corridorRing(line, half, half, false);
        const ReconstructionResult got = surfaceInRing(ring, {terrainAt, terrainAt}, roadParams({0, 0, 1e7, 1e7}));
        std::set<std::tuple<double, double>> cells;
        if (got.fallback == 0)
            for (std::size_t f = 0; f < got.faces.size(); f += 2) cells.insert({got.faces[f][0].x, got.faces[f][0].y});
        EXPECT_EQ(cells, cellsByWholeBox(ring, 0.5)) << "corridor " << r;
    }
}

}  // namespace
}  // namespace kl::buildings
