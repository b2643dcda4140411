// End to end point-cloud pipeline against the decode alone, in one run on the
// same tiles: index, decode, crop, thin, colour and E57 output of the whole
// demo site at full quality, against reading the same tiles with the reader.
//
//   bench_cloud_pipeline [density per m2, default 24: under the 8 M point budget]
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "cloud/las/las_reader.h"
#include "cloud/pipeline/cloud_download.h"
#include "net/service_hosts.h"
#include "net/wfs_client.h"
#include "tools/geoportal/demo_area.h"
#include "tools/geoportal/geoportal_server.h"

namespace demo = kl::geoportal::demo;
using Clock = std::chrono::steady_clock;

namespace {
double seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }
long peakRssMb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024;
}
}  // namespace

int main(int argc, char** argv) {
    const double density = argc > 1 ? std::atof(argv[1]) : 24.0;
    const auto dir = std::filesystem::temp_directory_path() / "kl_bench_cloud";
    std::filesystem::create_directories(dir);
    ::setenv("XDG_CACHE_HOME", (dir / "cache").c_str(), 1);

    kl::geoportal::ServerOptions options;
    options.config.lidarDensity = density;
    options.config.lidarCacheDir = (dir / "tiles").string();
    kl::geoportal::GeoportalServer server(options);
    if (!server.start().ok) return 1;
    kl::net::setServiceHostOverride(server.baseUrl());

    kl::cloud::CloudDownloadRequest req;
    req.frame = {demo::kMinEasting, demo::kMinNorthing, demo::kMaxEasting, demo::kMaxNorthing};
    req.detail = kl::cloudui::Detail::Full;
    req.placeEpsg = 2176;
    req.outputFile = (dir / "import.e57").string();
    req.currentYear = demo::kLidarLastOfferedYear;

    kl::net::WfsClient client;
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

    // Decoding alone, one thread and two alternately (a shared machine's changing
    // speed then affects both alike); the figure is the median of the paired ratios.
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
    std::vector<double> one, two, ratio;
    uint64_t decoded = 0;
    for (int round = 0; round < 3; ++round) {
        one.push_back(decodeAll(1, decoded));
        two.push_back(decodeAll(2, decoded));
        if (one.back() < 0 || two.back() < 0) return 1;
        ratio.push_back(one.back() / two.back());
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    std::printf("decode alone, %zu tiles, %llu points: 1 thread %.2f s, 2 threads %.2f s, 2 threads/1 thread %.2fx\n",
                paths.size(), static_cast<unsigned long long>(decoded), median(one), median(two), median(ratio));

    for (unsigned threads : {1u, 2u}) {
        const double decode = threads == 1 ? median(one) : median(two);
        const auto d1 = Clock::now();
        req.decodeThreads = threads;
        const auto r = kl::cloud::runCloudDownload(req, resolver, [](const kl::cloud::CloudProgress&) {}, [] { return false; });
        const auto d2 = Clock::now();
        if (!r.ok) {
            std::fprintf(stderr, "pipeline failed: %s\n", r.message.c_str());
            return 1;
        }
        const double pipeline = seconds(d1, d2);
        std::printf("threads=%u kept=%lld: decode %.2f s (%.2f M pts/s), "
                    "pipeline %.2f s, ratio pipeline/decode %.2f, E57 %.0f MB, peak RSS %ld MB\n",
                    threads, static_cast<long long>(r.count), decode, static_cast<double>(decoded) / decode / 1e6,
                    pipeline, pipeline / decode, static_cast<double>(std::filesystem::file_size(r.filePath)) / 1e6,
                    peakRssMb());
    }
    std::filesystem::remove_all(dir);
    return 0;
}
