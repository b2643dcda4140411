// The ground grid of 20 M LiDAR ground points against decoding the same
// points from LAZ, alternately round by round on one core:
//   kl_bench_cloud_ground [POINTS] [ROUNDS]
// prints the median wall and CPU seconds of each, the medians of the paired
// ratios, and the peak resident memory.
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "cloud/las/las_reader.h"
#include "cloud/las/las_writer.h"
#include "terrain/cloud_ground_grid.h"
#include "bench/measure.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr double kSide = 800.0;  // metres: the 800 x 800 nodes a fetch may ask at 1 m

std::string fixed(double v, int decimals) {
  char text[64];
  const auto [end, error] = std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, decimals);
  return std::string(text, end);
}

double seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// CPU seconds of this process: on a shared machine the wall time says more of the neighbours.
using kl::bench::cpuSeconds;

using kl::bench::median;

// Ground on a gentle slope, spread by a fixed linear congruential sequence
// so every run measures the same cloud.
bool writeCloud(const std::string& path, long long count) {
  kl::las::LasHeader h;
  h.versionMinor = 2;
  h.pointFormat = 3;
  h.recordLength = 34;
  h.scale = {0.01, 0.01, 0.01};
  h.offset = {500000, 300000, 0};
  std::vector<std::uint8_t> records(static_cast<std::size_t>(count) * 34, 0);
  std::uint64_t state = 12345;
  const auto next = [&state] {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<double>(state >> 11) / 9007199254740992.0;
  };
  for (long long i = 0; i < count; ++i) {
    std::uint8_t* r = &records[static_cast<std::size_t>(i) * 34];
    const double x = next() * kSide, y = next() * kSide, z = 200 + 0.01 * x + 0.3 * next();
    const auto X = static_cast<std::int32_t>(x * 100), Y = static_cast<std::int32_t>(y * 100),
               Z = static_cast<std::int32_t>(z * 100);
    std::memcpy(r, &X, 4);
    std::memcpy(r + 4, &Y, 4);
    std::memcpy(r + 8, &Z, 4);
    r[14] = 0x09;
    r[15] = 2;
  }
  return kl::las::writeLasFile(path, h, records.data(), static_cast<std::uint64_t>(count), {}).ok;
}

// The points as the fetch reads them, one decoding thread.
std::vector<kl::terrain::CloudXyz> decode(const std::string& path) {
  std::vector<kl::terrain::CloudXyz> points;
  kl::las::LasReader reader;
  if (!reader.open(path, 1)) return points;
  const kl::las::LasHeader& h = reader.header();
  points.reserve(h.pointCount);
  const std::uint8_t* records = nullptr;
  std::uint64_t n = 0;
  while (reader.next(&records, &n) && n > 0)
    for (std::uint64_t i = 0; i < n; ++i) {
      const kl::las::LasPointView v = kl::las::viewPoint(records + i * h.recordLength, h.pointFormat);
      if (v.classification == 2)
        points.push_back({v.x * h.scale[0] + h.offset[0], v.y * h.scale[1] + h.offset[1], v.z * h.scale[2] + h.offset[2]});
    }
  return points;
}

}  // namespace

int main(int argc, char** argv) {
  const long long count = argc > 1 ? std::atoll(argv[1]) : 20'000'000;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
  const std::string path = (fs::temp_directory_path() / ("kl_ground_bench_" + std::to_string(::getpid()) + ".laz")).string();
  if (!writeCloud(path, count)) {
    std::fprintf(stderr, "nie mozna zapisac %s\n", path.c_str());
    return 1;
  }
  const kl::geo::Bbox frame{500000, 300000, 500000 + kSide - 1, 300000 + kSide - 1};
  std::vector<double> decodeTimes, gridTimes, ratios, decodeCpu, gridCpu, cpuRatios;
  std::size_t points = 0;
  std::int64_t valid = 0;
  for (int round = 0; round < rounds; ++round) {
    auto start = Clock::now();
    double cpu = cpuSeconds();
    std::vector<kl::terrain::CloudXyz> ground = decode(path);
    decodeTimes.push_back(seconds(start));
    decodeCpu.push_back(cpuSeconds() - cpu);
    points = ground.size();
    start = Clock::now();
    cpu = cpuSeconds();
    const kl::terrain::CloudGroundGrid grid = kl::terrain::buildCloudGroundGrid(ground, frame, 1.0, {}, false);
    gridTimes.push_back(seconds(start));
    gridCpu.push_back(cpuSeconds() - cpu);
    valid = grid.validCells;
    ratios.push_back(gridTimes.back() / decodeTimes.back());
    cpuRatios.push_back(gridCpu.back() / decodeCpu.back());
  }
  fs::remove(path);
  std::printf("points %zu, cells %lld valid %lld\n", points, static_cast<long long>(kSide * kSide),
              static_cast<long long>(valid));
  std::printf("decode (1 thread) median %s s, ground grid median %s s, grid/decode %s\n",
              fixed(median(decodeTimes), 3).c_str(), fixed(median(gridTimes), 3).c_str(),
              fixed(median(ratios), 3).c_str());
  std::printf("CPU: decode median %s s, ground grid median %s s, grid/decode %s\n", fixed(median(decodeCpu), 3).c_str(),
              fixed(median(gridCpu), 3).c_str(), fixed(median(cpuRatios), 3).c_str());
  std::printf("peak resident %s MB (the points alone %s MB)\n", fixed(static_cast<double>(kl::bench::peakRssKb()) / 1024.0, 0).c_str(),
              fixed(static_cast<double>(points) * sizeof(kl::terrain::CloudXyz) / 1048576.0, 0).c_str());
  return 0;
}
