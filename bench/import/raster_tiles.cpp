// The largest orthophoto one fetch asks for: 4 x 4 tiles of 4096 x 4096 px
// (a 4 x 4 km frame at 0.25 m/px) from the local geoportal, then placed as
// pictures in the workbench project. Counters: wall time of each step, the
// compressed bytes held between them (each tile once) and the peak resident
// memory of the placement.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>

#include "bench/import/demo_geoportal_main.h"
#include "bench/measure.h"
#include "geodata/polish_crs.h"
#include "host/core/workbench.h"
#include "placement/place_command.h"
#include "net/raster_tiles.h"
#include "net/service_hosts.h"
#include "tools/import/addon_binding.h"

namespace {

using namespace kl;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void BM_Orthophoto16TilesOf4096(benchmark::State& state) {
    const geo::Bbox frame{258720, 380860, 262816, 384956};
    const int zone = 2176;
    net::HttpTimings timings;
    timings.defaultReceiveTimeoutMs = 120000;
    // The demo environment pointed the process's service hosts at the local geoportal.
    const settings::ServiceHosts hosts = settings::configuredServiceHosts();
    const net::RasterSource source{net::nationalServiceUrl(hosts, net::kOrthophotoWmsPath), "Raster",
                                   net::kOrthophotoMetresPerPixel, geo::DataType::Rasters, zone};
    const settings::Settings settings = settings::defaultSettings();
    const geo::Point2d survey = geo::pl1992ToPl2000(260768, 382908, zone);
    for (auto _ : state) {
        net::WfsClient client(timings, hosts);
        const Clock::time_point fetchStart = Clock::now();
        const net::RasterFetchResult fetched = net::fetchRasterTiles(client, frame, source, nullptr);
        const double fetchSeconds = secondsSince(fetchStart);
        std::size_t held = 0;
        for (const auto& t : fetched.tiles) held += t.image.size();

        host::Workbench wb;
        tools::bindAddonToHost(&host::Workbench::hostTable());
        bench::resetPeakRss();
        const Clock::time_point placeStart = Clock::now();
        const placement::PlaceOutcome placed = placement::runPlaceCommand(
            &host::Workbench::hostTable(), {}, placement::transformForSurveyPoint(survey), settings, fetched.tiles, zone);
        state.counters["place_s"] = secondsSince(placeStart);
        state.counters["place_peak_rss_MB"] = static_cast<double>(bench::peakRssKb()) / 1024.0;
        tools::bindAddonToHost(nullptr);
        state.counters["fetch_s"] = fetchSeconds;
        state.counters["tiles"] = static_cast<double>(fetched.tiles.size());
        state.counters["held_MB"] = static_cast<double>(held) / (1024.0 * 1024.0);
        state.counters["placed"] = placed.ok() ? placed.result.counts.at("rastry (rastr)") : -1;
    }
}

BENCHMARK(BM_Orthophoto16TilesOf4096)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    std::filesystem::path root;
    return kl::bench::runAgainstDemoGeoportal(argc, argv, "kl-bench-raster", root);
}
