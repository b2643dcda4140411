// Bridge decks and road surfaces from the elevation models inside a
// corridor: the acceptance and its stand-ins on analytic models, and the
// row-by-row walk against a walk over every lattice point of the box.
#include "buildings/surface_in_ring.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <tuple>

#include "geodata/corridor_ring.h"
#include "geodata/polygon.h"

namespace kl::buildings {
namespace {

// Terrain rising 1 m per 100 m eastward; a deck 5 m above it for x in [20, 40].
std::optional<double> terrainAt(double x, double) { return 100.0 + 0.01 * x; }
std::optional<double> deckAt(double x, double y) { return *terrainAt(x, y) + (x >= 20 && x <= 40 ? 5.0 : 0.0); }
std::optional<double> nothingAt(double, double) { return std::nullopt; }

const geo::Ring kSquare{{20, 0}, {40, 0}, {40, 20}, {20, 20}};

struct Case {
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
    SurfaceParams p;
    p.minCoverage = 0;
    p.useTerrain = true;
    p.clip = true;
    p.clipBox = clip;
    return p;
}

TEST(SurfaceInRing, AcceptsCoveredCellsOrStandsInFlat) {
    const double nan = std::nan("");
    const Case cases[] = {
        // 20 x 20 m at 0.5 m: the ring test takes the west and south edges in and the east and
        // north ones out, so 40 x 40 corners are inside and 39 x 39 cells
        {"DeckRaisedEverywhere", kSquare, {deckAt, terrainAt}, {}, 2u * 39 * 39, 0, 1.0, nan},
        {"DeckOverFlatGround", {{50, 0}, {70, 0}, {70, 20}, {50, 20}}, {deckAt, terrainAt}, {}, 1, 1, 0.0, 100.595},
        {"RoadOnTerrain", {{50, 0}, {70, 0}, {70, 20}, {50, 20}}, {deckAt, terrainAt}, roadParams({0, 0, 100, 100}),
         2u * 39 * 39, 0, 0.0, nan},
        {"RoadClippedToFrame", {{50, 0}, {70, 0}, {70, 20}, {50, 20}}, {deckAt, terrainAt},
         roadParams({0, 0, 60, 100}), 2u * 20 * 39, 0, 0.0, nan},
        {"ClipMissesTheRing", kSquare, {deckAt, terrainAt}, roadParams({100, 100, 200, 200}), 0, 1, 0.0, nan},
        {"NoDataAtAll", kSquare, {nothingAt, nothingAt}, {}, 0, 1, 0.0, nan},
        {"TwoVertices", {{0, 0}, {10, 0}}, {deckAt, terrainAt}, {}, 0, 1, 0.0, nan},
        // too thin for one cell: the stand-in takes the model at the box's centre
        {"ThinnerThanACell", {{50, 0}, {70, 0}, {70, 0.2}, {50, 0.2}}, {deckAt, terrainAt}, {}, 1, 1, 0.0, 100.6},
    };
    for (const Case& c : cases) {
        const ReconstructionResult r = surfaceInRing(c.ring, c.models, c.params);
        EXPECT_EQ(r.faces.size(), c.faces) << c.name;
        EXPECT_EQ(r.fallback, c.fallback) << c.name;
        EXPECT_DOUBLE_EQ(r.coverage, c.coverage) << c.name;
        if (!std::isnan(c.flatHeight) && !r.faces.empty()) {
            ASSERT_EQ(r.faces[0].size(), c.ring.size()) << c.name;
            for (const auto& p : r.faces[0]) EXPECT_NEAR(p.z, c.flatHeight, 1e-9) << c.name;
        }
    }
}

TEST(SurfaceInRing, TrianglesLieOnTheModelAndTurnUpwards) {
    const ReconstructionResult r = surfaceInRing(kSquare, {deckAt, terrainAt}, {});
    for (const Face& f : r.faces) {
        ASSERT_EQ(f.size(), 3u);
        for (const auto& p : f) EXPECT_DOUBLE_EQ(p.z, *deckAt(p.x, p.y));
        const double cross = (f[1].x - f[0].x) * (f[2].y - f[0].y) - (f[1].y - f[0].y) * (f[2].x - f[0].x);
        EXPECT_GT(cross, 0.0);
    }
}

// Every cell of the box whose four corners pass the ring test, one by one.
std::set<std::tuple<double, double>> cellsByWholeBox(const geo::Ring& ring, double step) {
    double minX = ring[0].x, minY = ring[0].y, maxX = minX, maxY = minY;
    for (const auto& p : ring) {
        minX = std::min(minX, p.x), minY = std::min(minY, p.y);
        maxX = std::max(maxX, p.x), maxY = std::max(maxY, p.y);
    }
    const long long nx = std::max(1LL, static_cast<long long>(std::floor((maxX - minX) / step)));
    const long long ny = std::max(1LL, static_cast<long long>(std::floor((maxY - minY) / step)));
    std::set<std::tuple<double, double>> cells;
    for (long long j = 0; j < ny; ++j)
        for (long long i = 0; i < nx; ++i) {
            const double x0 = minX + static_cast<double>(i) * step, x1 = minX + static_cast<double>(i + 1) * step;
            const double y0 = minY + static_cast<double>(j) * step, y1 = minY + static_cast<double>(j + 1) * step;
            if (geo::ringContains(ring, {x0, y0}) && geo::ringContains(ring, {x1, y0}) &&
                geo::ringContains(ring, {x1, y1}) && geo::ringContains(ring, {x0, y1}))
                cells.insert({x0, y0});
        }
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
        const ReconstructionResult got =
            surfaceInRing(ring, {[](double, double) { return std::optional<double>(200.0); }, terrainAt}, roadParams({0, 0, 1e7, 1e7}));
        std::set<std::tuple<double, double>> cells;
        if (got.fallback == 0)
            for (std::size_t f = 0; f < got.faces.size(); f += 2) cells.insert({got.faces[f][0].x, got.faces[f][0].y});
        EXPECT_EQ(cells, cellsByWholeBox(ring, 0.5)) << "corridor " << r;
    }
}

}  // namespace
}  // namespace kl::buildings
