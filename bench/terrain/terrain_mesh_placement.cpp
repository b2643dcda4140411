// The largest ground the import makes: 4 x 4 terrain tiles of 200 x 200
// nodes (640 000 points, neighbours sharing their seam) placed into the
// workbench project as 16 meshes, from the fetched PL-1992 tiles to the
// stored elements. The reference hands the same meshes, already in project
// coordinates, straight to the host table (no zone conversion, no corner
// search, no diagnostics). Beside them the project JSON the workbench page reads.
// Counters: level points per second, peak resident memory and its growth.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "bench/measure.h"
#include "geodata/polish_crs.h"
#include "host/core/workbench.h"
#include "placement/place_command.h"
#include "placement/terrain_in_zone.h"
#include "tools/import/addon_binding.h"

namespace {

using namespace kl;

constexpr int kTilesPerAxis = 4, kNodesPerAxis = 200;

std::vector<terrain::TerrainTile> sixteenTiles() {
    std::vector<terrain::TerrainTile> tiles;
    const double x0 = 258000, y0 = 380000, span = kNodesPerAxis - 1;
    for (int ty = 0; ty < kTilesPerAxis; ++ty)
        for (int tx = 0; tx < kTilesPerAxis; ++tx) {
            terrain::TerrainTile t{x0 + tx * span, y0 + ty * span, x0 + (tx + 1) * span, y0 + (ty + 1) * span, {}};
            t.points.reserve(kNodesPerAxis * kNodesPerAxis);
            for (int r = 0; r < kNodesPerAxis; ++r)
                for (int c = 0; c < kNodesPerAxis; ++c) {
                    const double x = t.minX + c, y = t.minY + r;
                    t.points.push_back({x, y, 120.0 + 8.0 * std::sin(x / 37.0) + 5.0 * std::cos(y / 23.0)});
                }
            tiles.push_back(std::move(t));
        }
    return tiles;
}

struct Bench {
    host::Workbench wb;
    Bench() { tools::bindAddonToHost(&host::Workbench::hostTable()); }
    ~Bench() { tools::bindAddonToHost(nullptr); }
};

placement::PlaceOutcome place(const std::vector<terrain::TerrainTile>& tiles) {
    const geo::Point2d survey = geo::pl1992ToPl2000(258400, 380400, 2176);
    placement::GroundInput ground;
    ground.tiles = placement::tilesInZone(tiles, 2176);
    ground.tileBaseHeight = 110.0;
    return placement::runPlaceCommand(&host::Workbench::hostTable(), {}, placement::transformForSurveyPoint(survey),
                                   settings::defaultSettings(), {}, 2176, {}, ground);
}

// Each round places into a fresh project; `round` answers whether it succeeded.
template <class Round>
void roundsIntoFreshProjects(benchmark::State& state, Round round) {
    long growth = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto bench = std::make_unique<Bench>();
        bench::resetPeakRss();
        const long before = bench::peakRssKb();
        state.ResumeTiming();
        const bool ok = round();
        state.PauseTiming();
        if (!ok) state.SkipWithError("placement failed");
        growth = std::max(growth, bench::peakRssKb() - before);
        bench.reset();
        state.ResumeTiming();
    }
    state.counters["points_per_s"] = benchmark::Counter(640000.0 * static_cast<double>(state.iterations()),
                                                        benchmark::Counter::kIsRate);
    state.counters["rss_growth_MB"] = static_cast<double>(growth) / 1024.0;
}

void BM_PlaceSixteenTerrainTiles(benchmark::State& state) {
    const auto tiles = sixteenTiles();
    roundsIntoFreshProjects(state, [&] {
        const placement::PlaceOutcome r = place(tiles);
        return r.ok() && r.result.counts.at("teren (Siatka)") == 16;
    });
}

// The meshes as the host receives them: outline, heights and level points in project metres.
struct RawMesh {
    std::vector<KlCoord> outline;
    std::vector<KlCoord3> points;
};

struct RawContext {
    const std::vector<RawMesh>* meshes;
    int32_t layer = 0;
};

KlErr createRaw(void* raw) {
    auto& ctx = *static_cast<RawContext*>(raw);
    const KlHostFunctions& h = host::Workbench::hostTable();
    KlAttribute layer{};
    layer.type = KL_ATTR_LAYER;
    std::snprintf(layer.name, sizeof layer.name, "GIS_TEREN");
    if (KlErr err = h.CreateAttribute(&layer)) return err;
    for (const RawMesh& m : *ctx.meshes) {
        KlElement e{};
        e.type = KL_ELEM_MESH;
        KlMemo memo{};
        h.GetElementDefaults(&e, &memo);
        e.layer = layer.index;
        KlMemoSizes sizes{};
        sizes.nCoords = static_cast<int32_t>(m.outline.size());
        sizes.nRings = 1;
        sizes.withBoundaryZ = 1;
        sizes.nLevelPoints = sizes.nLevelEnds = static_cast<int32_t>(m.points.size());
        h.MemoAllocate(&memo, &sizes);
        std::copy(m.outline.begin(), m.outline.end(), memo.coords);
        memo.ringEnds[0] = sizes.nCoords;
        std::copy(m.points.begin(), m.points.end(), memo.levelPoints);
        for (int32_t i = 0; i < sizes.nLevelEnds; ++i) memo.levelEnds[i] = i + 1;
        const KlErr err = h.CreateElement(&e, &memo);
        h.DisposeMemo(&memo);
        if (err != KL_NOERROR) return err;
    }
    return KL_NOERROR;
}

void BM_ReferenceRawHostMeshes(benchmark::State& state) {
    std::vector<RawMesh> meshes;
    for (const terrain::TerrainTile& t : sixteenTiles()) {
        RawMesh m;
        m.outline = {{t.minX, t.minY}, {t.maxX, t.minY}, {t.maxX, t.maxY}, {t.minX, t.maxY}, {t.minX, t.minY}};
        for (const terrain::TerrainPoint& p : t.points) m.points.push_back({p.x, p.y, p.height - 110.0});
        meshes.push_back(std::move(m));
    }
    roundsIntoFreshProjects(state, [&] {
        RawContext ctx{&meshes};
        return host::Workbench::hostTable().UndoableCommand("Import GIS", &createRaw, &ctx) == KL_NOERROR;
    });
}

void BM_ProjectJsonWithSixteenMeshes(benchmark::State& state) {
    Bench bench;
    if (!place(sixteenTiles()).ok()) state.SkipWithError("placement failed");
    bench::resetPeakRss();
    const long before = bench::peakRssKb();
    std::size_t bytes = 0;
    for (auto _ : state) bytes = bench.wb.project().serialise().size();
    state.counters["json_MB"] = static_cast<double>(bytes) / 1e6;
    state.counters["rss_growth_MB"] = static_cast<double>(bench::peakRssKb() - before) / 1024.0;
}

BENCHMARK(BM_PlaceSixteenTerrainTiles)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ReferenceRawHostMeshes)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ProjectJsonWithSixteenMeshes)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
