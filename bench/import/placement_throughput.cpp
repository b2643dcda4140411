// Placement of many parcels with their numbers into the workbench project,
// beside a reference that creates the same polylines and texts straight
// through the host table (no layer lookup, no grid conversion, no labels
// search). Counters: elements per second and the peak resident memory.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/measure.h"
#include "geodata/polish_crs.h"
#include "host/core/workbench.h"
#include "placement/place_command.h"
#include "placement/element_makers.h"
#include "placement/layer_resolver.h"
#include "tools/import/addon_binding.h"

namespace {

using namespace kl;
using bench::peakRssKb;
using bench::resetPeakRss;

void reportCounters(benchmark::State& state, std::size_t elements, long peak) {
    state.counters["elements"] = static_cast<double>(elements);
    state.counters["elements_per_s"] =
        benchmark::Counter(static_cast<double>(elements) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["peak_rss_MB"] = static_cast<double>(peak) / 1024.0;
}

// A city block grid of 20 x 20 m parcels around the demo site, each with a
// number and its label point, as the fetch leaves them.
std::vector<geo::GisFeature> parcels(int n) {
    std::vector<geo::GisFeature> out;
    out.reserve(static_cast<std::size_t>(n));
    const int perRow = 250;
    for (int i = 0; i < n; ++i) {
        const double x = 258000 + (i % perRow) * 20.0, y = 380000 + (i / perRow) * 20.0;
        geo::GisFeature f;
        f.polygons.push_back({{{x, y}, {x + 20, y}, {x + 20, y + 20}, {x, y + 20}, {x, y}}, {}});
        f.attributes["NUMER_DZIALKI"] = "020101_1.0009." + std::to_string(i + 1);
        f.point = {x + 10, y + 10};
        f.hasPoint = true;
        out.push_back(std::move(f));
    }
    return out;
}

struct Bench {
    host::Workbench wb;
    Bench() { tools::bindAddonToHost(&host::Workbench::hostTable()); }
    ~Bench() { tools::bindAddonToHost(nullptr); }
};

void BM_PlaceParcelsWithLabels(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const auto features = parcels(n);
    const settings::Settings settings = settings::defaultSettings();
    const geo::Point2d survey = geo::pl1992ToPl2000(260720, 382860, 2176);
    long peak = 0;
    std::size_t elements = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto bench = std::make_unique<Bench>();
        resetPeakRss();
        state.ResumeTiming();
        const auto local = placement::featuresInZone(features, 2176);
        const placement::PlaceOutcome r =
            placement::runPlaceCommand(&host::Workbench::hostTable(), local, placement::transformForSurveyPoint(survey), settings);
        state.PauseTiming();
        if (!r.ok()) state.SkipWithError("placement failed");
        elements = bench->wb.project().elements().all().size();
        peak = std::max(peak, peakRssKb());
        bench.reset();
        state.ResumeTiming();
    }
    reportCounters(state, elements, peak);
}

struct RawContext {
    const std::vector<geo::GisFeature>* features;
    int32_t layer = 0;
};

// The same elements without the import's own work.
void BM_ReferenceRawHostElements(benchmark::State& state) {
    const auto features = parcels(static_cast<int>(state.range(0)));
    std::size_t elements = 0;
    long peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto bench = std::make_unique<Bench>();
        resetPeakRss();
        state.ResumeTiming();
        RawContext ctx{&features};
        host::Workbench::hostTable().UndoableCommand(
            "Import GIS",
            [](void* c) -> KlErr {
                auto& x = *static_cast<RawContext*>(c);
                x.layer = placement::findOrCreateLayer("GIS_DZIALKI");
                for (const geo::GisFeature& f : *x.features) {
                    placement::makePolyline(f.polygons[0].exterior, x.layer, 10);
                    placement::makeText(f.point, "1", x.layer, 10, 1.5);
                }
                return KL_NOERROR;
            },
            &ctx);
        state.PauseTiming();
        elements = bench->wb.project().elements().all().size();
        peak = std::max(peak, peakRssKb());
        bench.reset();
        state.ResumeTiming();
    }
    reportCounters(state, elements, peak);
}

BENCHMARK(BM_PlaceParcelsWithLabels)->Arg(50000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ReferenceRawHostElements)->Arg(50000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
