// LOD2 reconstruction of many buildings: 1000 footprints of 20 x 10 m with
// 2000 roof points each (gabled, hipped, shed and flat in turn, with ground
// echoes around), fitted on 1 and on 2 threads.
//   kl_bench_import_reconstruction [--benchmark_...]
#include <benchmark/benchmark.h>

#include <cmath>

#include "import/reconstruction_stage.h"

namespace {

using kl::import::FrameCloudPoint;

constexpr int kBuildings = 1000;
constexpr int kRoofPoints = 2000;

struct Site {
    std::vector<FrameCloudPoint> cloud;
    std::vector<kl::buildings::Lod1Building> footprints;
};

double roofAt(int kind, double u, double v) {
    const double across = 1 - std::abs(v - 5) / 5;  // 0 at the eaves, 1 at the ridge
    switch (kind % 4) {
    case 0: return 106 + 4 * across;
    case 1: return 106 + 4 * std::min(across, std::min(u, 20 - u) / 5);
    case 2: return 106 + 0.3 * v;
    default: return 106;
    }
}

const Site& site() {
    static const Site s = [] {
        Site out;
        for (int b = 0; b < kBuildings; ++b) {
            const double x = 500000 + 40.0 * (b % 40), y = 300000 + 30.0 * (b / 40);
            out.footprints.push_back({"B" + std::to_string(b), {{x, y}, {x + 20, y}, {x + 20, y + 10}, {x, y + 10}}, 100, 10});
            // 2000 points on a 50 x 40 lattice over the roof.
            for (int i = 0; i < kRoofPoints; ++i) {
                const double u = (i % 50 + 0.5) * 0.4, v = (i / 50 + 0.5) * 0.25;
                out.cloud.push_back({x + u, y + v, roofAt(b, u, v), 6});
            }
            for (int i = 0; i < 40; ++i) out.cloud.push_back({x - 2 + i * 0.6, y - 2, 100, 2});
        }
        return out;
    }();
    return s;
}

void reconstruction(benchmark::State& state) {
    const Site& s = site();
    const kl::import::StageIo quiet{[](const std::string&) {}, [](const std::string&, int, int) {}, [] { return false; }};
    for (auto _ : state) {
        auto run = kl::import::reconstructFootprints(s.footprints, s.cloud, static_cast<unsigned>(state.range(0)), quiet);
        benchmark::DoNotOptimize(run.result.buildings.data());
    }
    state.counters["buildings"] = kBuildings;
}
BENCHMARK(reconstruction)->Arg(1)->Arg(2)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1)->Repetitions(3);

}  // namespace

BENCHMARK_MAIN();
