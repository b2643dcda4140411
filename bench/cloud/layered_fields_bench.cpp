// The cloud pipeline on layered LAZ tiles (formats 6-8) decoding only the fields it
// reads, against the same pipeline decoding every field, alternately round by round.
// The frame is each file's own extent, so every point goes through crop, thinning and
// colour; both runs must keep the very same points.
//
//   bench_cloud_fields ROUNDS FILE.laz...
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include "cloud/las/las_reader.h"
#include "cloud/pipeline/cloud_detail.h"
#include "cloud/pipeline/tile_points.h"
#include "cloud/pipeline/tile_processing.h"
#include "bench/measure.h"

using Clock = std::chrono::steady_clock;

namespace {

double seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

using kl::bench::cpuSeconds;
using kl::bench::median;

// The tile loop of the pipeline with every field decoded: what it did before it
// told the reader which fields it reads.
bool feedEveryField(const std::string& path, kl::cloud::CloudAccumulator& acc) {
    kl::las::LasReader reader;
    if (!reader.open(path)) return false;
    const auto& h = reader.header();
    kl::cloud::TilePointFeeder feeder(acc, {h.pointFormat, h.recordLength, h.scale, h.offset, 2180});
    feeder.expectPoints(h.pointCount);  // as the pipeline does, so only the decoding differs
    const uint8_t* records = nullptr;
    uint64_t count = 0;
    while (reader.next(&records, &count) && count > 0) feeder.feed(records, count);
    feeder.finish();
    acc.commitTile();
    return true;
}

bool samePoints(const std::vector<kl::cloud::CloudPoint>& a, const std::vector<kl::cloud::CloudPoint>& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](const auto& p, const auto& q) {
               return p.x == q.x && p.y == q.y && p.z == q.z && p.r == q.r && p.g == q.g && p.b == q.b;
           });
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "Uzycie: bench_cloud_fields RUNDY PLIK.laz...\n");
        return 2;
    }
    int rounds = 5;
    std::from_chars(argv[1], argv[1] + std::strlen(argv[1]), rounds);
    for (int f = 2; f < argc; ++f) {
        const std::string path = argv[f];
        kl::las::LasReader probe;
        if (!probe.open(path)) return 1;
        const auto& h = probe.header();
        const kl::geo::Bbox frame{h.min[0], h.min[1], h.max[0], h.max[1]};
        const double voxel = kl::cloudui::voxelEdge(kl::cloudui::Detail::Full);
        std::vector<double> every, some, ratio, everyCpu, someCpu, cpuRatio;
        size_t kept = 0;
        for (int round = 0; round < rounds; ++round) {
            kl::cloud::CloudAccumulator all(frame, voxel, 2178, 100'000'000), read(frame, voxel, 2178, 100'000'000);
            const auto t0 = Clock::now();
            const double c0 = cpuSeconds();
            if (!feedEveryField(path, all)) return 1;
            const auto t1 = Clock::now();
            const double c1 = cpuSeconds();
            if (kl::cloud::processTile(path, 2180, read, 1).kind != kl::cloud::TileOutcome::Processed) return 1;
            const auto t2 = Clock::now();
            const double c2 = cpuSeconds();
            if (!samePoints(all.points(), read.points())) {
                std::fprintf(stderr, "%s: the kept points differ\n", path.c_str());
                return 1;
            }
            kept = read.points().size();
            every.push_back(seconds(t0, t1));
            some.push_back(seconds(t1, t2));
            ratio.push_back(every.back() / some.back());
            everyCpu.push_back(c1 - c0);
            someCpu.push_back(c2 - c1);
            cpuRatio.push_back(everyCpu.back() / someCpu.back());
        }
        std::printf("format %u, %llu points, %zu kept: every field %.3f s, fields read %.3f s, "
                    "faster %.2fx (median of %d pairs); CPU %.3f s / %.3f s, %.2fx\n",
                    static_cast<unsigned>(h.pointFormat), static_cast<unsigned long long>(h.pointCount), kept,
                    median(every), median(some), median(ratio), rounds, median(everyCpu), median(someCpu),
                    median(cpuRatio));
    }
    return 0;
}
