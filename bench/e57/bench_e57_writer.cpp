// E57 writing throughput against the plain write of a file of the same size
// to the same folder, measured in the same run: the ratio shows what paging,
// checksums and packet assembly cost on top of the disk.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <vector>

#include "cloud/e57/e57_writer.h"

namespace {

const std::vector<kl::cloud::CloudPoint>& cloud(size_t n) {
    static std::vector<kl::cloud::CloudPoint> pts;
    if (pts.size() != n) {
        std::mt19937 rng(1);
        std::uniform_real_distribution<double> d(-500, 500);
        pts.resize(n);
        for (auto& p : pts) p = {d(rng), d(rng), d(rng) / 10, uint8_t(rng()), uint8_t(rng()), uint8_t(rng())};
    }
    return pts;
}

std::string target() { return (std::filesystem::temp_directory_path() / "kl_bench.e57").string(); }

void BM_WriteE57(benchmark::State& state) {
    const auto& pts = cloud(static_cast<size_t>(state.range(0)));
    std::string err;
    for (auto _ : state) {
        if (!kl::e57::writeE57(target(), pts, err)) state.SkipWithError(err.c_str());
    }
    const auto bytes = std::filesystem::file_size(target());
    state.SetBytesProcessed(static_cast<int64_t>(bytes) * state.iterations());
    state.counters["points/s"] = benchmark::Counter(static_cast<double>(pts.size()) * static_cast<double>(state.iterations()),
                                                    benchmark::Counter::kIsRate);
    std::filesystem::remove(target());
}

void BM_PlainWriteSameSize(benchmark::State& state) {
    const size_t bytes = static_cast<size_t>(state.range(0)) * 15 * 1024 / 1020;
    std::vector<char> buf(1 << 20, 'x');
    for (auto _ : state) {
        std::FILE* f = std::fopen(target().c_str(), "wb");
        for (size_t done = 0; done < bytes; done += buf.size()) std::fwrite(buf.data(), 1, std::min(buf.size(), bytes - done), f);
        std::fflush(f);
        ::fsync(::fileno(f));
        std::fclose(f);
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes) * state.iterations());
    std::filesystem::remove(target());
}

}  // namespace

BENCHMARK(BM_WriteE57)->Arg(1'000'000)->Arg(8'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainWriteSameSize)->Arg(1'000'000)->Arg(8'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
