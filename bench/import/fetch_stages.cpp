// A 2 x 2 km fetch around the demo site from the local geoportal, the wall
// time split by stage; the same frame again from the warm download cache is
// the reference of the same run.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

#include "base/service_hosts.h"
#include "bench/import/demo_geoportal_main.h"
#include "geodata/polish_crs.h"
#include "import/fetch_pipeline.h"

namespace {

using namespace kl;

std::filesystem::path g_root;
int g_caches = 0;

import::FetchRequest twoByTwoKm() {
    import::FetchRequest r;
    const geo::Point2d c{260720, 382860};
    r.frame = {c.x - 1000, c.y - 1000, c.x + 1000, c.y + 1000};
    r.layers = {"dzialki", "budynki", "gesut"};
    return r;
}

void run(benchmark::State& state, bool warm) {
    const import::FetchRequest request = twoByTwoKm();
    const net::HttpTimings timings;
    // The demo environment pointed the process's service hosts at the local geoportal.
    const settings::ServiceHosts hosts = settings::configuredServiceHosts();
    std::map<std::string, double> seconds;
    std::size_t features = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const auto cache = g_root / ("cache" + std::to_string(++g_caches));
        ::setenv("XDG_CACHE_HOME", cache.c_str(), 1);
        if (warm) {
            import::FetchServices prime(timings, hosts);
            import::fetchForImport(prime, request, {});
        }
        import::FetchServices services(timings, hosts);
        state.ResumeTiming();
        const import::FetchOutcome out = import::fetchForImport(services, request, {});
        state.PauseTiming();
        features = out.data.features.size();
        for (const auto& [stage, s] : out.stageSeconds) seconds[stage] += s;
        state.ResumeTiming();
    }
    state.counters["features"] = static_cast<double>(features);
    for (const auto& [stage, s] : seconds)
        state.counters[stage + "_s"] = s / static_cast<double>(state.iterations());
}

void BM_DemoFetch2x2km(benchmark::State& state) { run(state, false); }
void BM_ReferenceWarmCache(benchmark::State& state) { run(state, true); }

BENCHMARK(BM_DemoFetch2x2km)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_ReferenceWarmCache)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace

int main(int argc, char** argv) { return kl::bench::runAgainstDemoGeoportal(argc, argv, "kl-bench-fetch", g_root); }
