// End to end point-cloud pipeline against the decode alone, in one run on the
// same tiles: index, decode, crop, thin, colour and E57 output of the whole
// demo site at full quality, against reading the same tiles with the reader.
//
//   bench_cloud_pipeline [density per m2, default 24: under the 8 M point budget] [rounds, default 3]
//                        [decode|pipeline THREADS: that run alone, for a profiler]
//
// With a run named, each round prints its CLOCK_MONOTONIC start and end to
// stderr, so that a trace recorded with `perf record -k CLOCK_MONOTONIC` can
// be cut to the measured runs (the warm-up serves and writes the tiles).
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/service_hosts.h"
#include "bench/measure.h"
#include "cloud/las/las_reader.h"
#include "cloud/pipeline/cloud_download.h"
#include "net/wfs_client.h"
#include "tools/geoportal/demo_area.h"
#include "tools/geoportal/geoportal_server.h"

namespace demo = kl::geoportal::demo;
using Clock = std::chrono::steady_clock;

namespace {
double seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }
using kl::bench::cpuSeconds;
using kl::bench::median;
std::string loadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string line;
    std::getline(in, line);
    return line + "\n";
}
// Times a thread of the process gave up its core to wait (a lock, a condition,
// the disk): how often the work stalled, which a busy machine hardly changes.
// Involuntary switches (preemption by other processes) are not counted.
long voluntaryWaits() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_nvcsw;
}
long minorFaults() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_minflt;
}
long peakRssMb() { return kl::bench::peakRssKb() / 1024; }
}  // namespace

int main(int argc, char** argv) {
    double density = 24.0;
    int rounds = 3;
    if (argc > 1) std::from_chars(argv[1], argv[1] + std::strlen(argv[1]), density);
    if (argc > 2) std::from_chars(argv[2], argv[2] + std::strlen(argv[2]), rounds);
    const std::string only = argc > 4 ? argv[3] : "";
    unsigned onlyThreads = 1;
    if (argc > 4) std::from_chars(argv[4], argv[4] + std::strlen(argv[4]), onlyThreads);
    // A folder of this run's own: two benches alternating on one machine must
    // not read each other's tiles or remove each other's files.
    std::string pattern = (std::filesystem::temp_directory_path() / "kl_bench_cloud.XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::filesystem::path dir = pattern;
    // Declared before the server, so it goes after it, on every way out.
    struct RemoveOnExit {
        std::filesystem::path dir;
        ~RemoveOnExit() {
            std::error_code ec;
            std::filesystem::remove_all(dir, ec);
        }
    } removeOnExit{dir};
    ::setenv("XDG_CACHE_HOME", (dir / "cache").c_str(), 1);

    kl::geoportal::ServerOptions options;
    options.config.lidarDensity = density;
    options.config.lidarCacheDir = (dir / "tiles").string();
    // The demo's yearly index that answers 500 is there for the fallback tests:
    // here it would add the client's 0.5 s retry wait to every pipeline run and
    // nothing to the decode it is compared with.
    options.config.lidarErrorYear = 0;
    kl::geoportal::GeoportalServer server(options);
    if (!server.start().ok) return 1;

    kl::cloud::CloudDownloadRequest req;
    req.frame = {demo::kMinEasting, demo::kMinNorthing, demo::kMaxEasting, demo::kMaxNorthing};
    req.detail = kl::cloudui::Detail::Full;
    req.placeEpsg = 2176;
    req.outputFile = (dir / "import.e57").string();
    req.currentYear = demo::kLidarLastOfferedYear;

    kl::net::WfsClient client({}, kl::settings::serviceHostsWithOverride(server.baseUrl()));
    kl::cloud::LidarResolver resolver(client);
    // Warm-up: generates the tiles and fills the download cache, so both
    // measured runs read the same local files.
    const auto tiles = resolver.query(req.frame, req.currentYear).tiles;
    std::vector<std::string> paths;
    for (const auto& t : tiles) {
        std::string err;
        paths.push_back(resolver.download(t, {}, err));
        if (paths.back().empty()) {
            std::fprintf(stderr, "download failed: %s\n", err.c_str());
            return 1;
        }
    }

    // Decoding alone and the whole pipeline, on one thread and on two, all four
    // in turn round by round (a shared machine's changing speed then affects
    // them alike); each figure is the median of its per-round ratios.
    auto decodeAll = [&](unsigned threads, uint64_t& decoded) {
        decoded = 0;
        const auto t0 = Clock::now();
        for (const auto& p : paths) {
            kl::las::LasReader reader;
            if (!reader.open(p, threads)) return -1.0;
            const uint8_t* recs;
            uint64_t n;
            while (reader.next(&recs, &n) && n > 0) decoded += n;
        }
        return seconds(t0, Clock::now());
    };
    kl::cloud::CloudDownloadResult result;
    auto pipeline = [&](unsigned threads) {
        req.decodeThreads = threads;
        const auto t0 = Clock::now();
        result = kl::cloud::runCloudDownload(req, resolver, [](const kl::cloud::CloudProgress&) {}, [] { return false; });
        if (!result.ok) std::fprintf(stderr, "pipeline failed: %s\n", result.message.c_str());
        return result.ok ? seconds(t0, Clock::now()) : -1.0;
    };
    // Runs one measurement; *cpu receives its CPU seconds.
    auto timed = [](double* cpu, auto run) {
        const double c0 = cpuSeconds();
        const double wall = run();
        *cpu = cpuSeconds() - c0;
        return wall;
    };
    uint64_t decoded = 0;
    if (!only.empty()) {
        std::vector<double> walls, cpus, waits, faults;
        for (int round = 0; round < rounds; ++round) {
            timespec a{}, b{};
            clock_gettime(CLOCK_MONOTONIC, &a);
            const long waits0 = voluntaryWaits(), faults0 = minorFaults();
            double cpu = 0;
            const double wall = timed(&cpu, [&] { return only == "decode" ? decodeAll(onlyThreads, decoded) : pipeline(onlyThreads); });
            clock_gettime(CLOCK_MONOTONIC, &b);
            if (wall < 0) return 1;
            std::fprintf(stderr, "run %ld.%09ld %ld.%09ld\n", static_cast<long>(a.tv_sec), a.tv_nsec,
                         static_cast<long>(b.tv_sec), b.tv_nsec);
            walls.push_back(wall);
            cpus.push_back(cpu);
            waits.push_back(static_cast<double>(voluntaryWaits() - waits0));
            faults.push_back(static_cast<double>(minorFaults() - faults0));
        }
        std::printf("%s on %u threads: %.2f s wall, %.2f s CPU, %.0f waits, %.0f page faults (medians of %d), "
                    "load average at the end %s",
                    only.c_str(), onlyThreads, median(walls), median(cpus), median(waits), median(faults), rounds,
                    loadAverage().c_str());
        return 0;
    }
    std::vector<double> decode1, decode2, pipe1, pipe2, over1, over2, decodeScale, pipeScale, cpuOver1, cpuOver2;
    for (int round = 0; round < rounds; ++round) {
        double cpuDecode1 = 0, cpuPipe1 = 0, cpuDecode2 = 0, cpuPipe2 = 0;
        decode1.push_back(timed(&cpuDecode1, [&] { return decodeAll(1, decoded); }));
        pipe1.push_back(timed(&cpuPipe1, [&] { return pipeline(1); }));
        decode2.push_back(timed(&cpuDecode2, [&] { return decodeAll(2, decoded); }));
        pipe2.push_back(timed(&cpuPipe2, [&] { return pipeline(2); }));
        cpuOver1.push_back(cpuPipe1 / cpuDecode1);
        cpuOver2.push_back(cpuPipe2 / cpuDecode2);
        if (std::min({decode1.back(), pipe1.back(), decode2.back(), pipe2.back()}) < 0) return 1;
        over1.push_back(pipe1.back() / decode1.back());
        over2.push_back(pipe2.back() / decode2.back());
        decodeScale.push_back(decode1.back() / decode2.back());
        pipeScale.push_back(pipe1.back() / pipe2.back());
    }
    std::printf("%zu tiles, %llu points read, %lld kept, E57 %.0f MB, %d rounds, load average at the end %s",
                paths.size(), static_cast<unsigned long long>(decoded), static_cast<long long>(result.count),
                static_cast<double>(std::filesystem::file_size(result.filePath)) / 1e6, rounds, loadAverage().c_str());
    std::printf("decode alone: 1 thread %.2f s, 2 threads %.2f s, 2 threads/1 thread %.2fx\n", median(decode1),
                median(decode2), median(decodeScale));
    std::printf("pipeline:     1 thread %.2f s, 2 threads %.2f s, 2 threads/1 thread %.2fx\n", median(pipe1),
                median(pipe2), median(pipeScale));
    std::printf("pipeline/decode: 1 thread %.2f, 2 threads %.2f; in CPU time: 1 thread %.2f, 2 threads %.2f; "
                "peak RSS %ld MB\n",
                median(over1), median(over2), median(cpuOver1), median(cpuOver2), peakRssMb());
    return 0;
}
