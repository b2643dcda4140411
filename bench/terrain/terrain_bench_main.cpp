// Speed figures of the terrain kernels, run side by side with GDAL by run_terrain_bench.sh.
//   kl_terrain_bench make OUT.asc N        an N x N sheet of a smooth slope, 1 m cells
//   kl_terrain_bench read SHEET.asc        seconds to read, MB/s, peak memory per cell
//   kl_terrain_bench contours SHEET.asc I  seconds to trace contours every I metres

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>

#include "bench/measure.h"
#include "terrain/ascii_grid_reader.h"
#include "terrain/contour_builder.h"
#include "terrain/grid_nodes.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string fixed(double v, int decimals) {
  char text[64];
  const auto [end, error] = std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, decimals);
  return std::string(text, end);
}

double seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

double peakBytes() { return static_cast<double>(kl::bench::peakRssKb()) * 1024.0; }

int fail(const std::string& message) {
  std::fprintf(stderr, "%s\n", message.c_str());
  return 1;
}

// A slope of about 200 m with waves; heights with three decimals ending in 3,
// so no node lies on a 0.25 m level.
int make(const char* out, int n) {
  std::ofstream file(out, std::ios::binary);
  file << "ncols " + std::to_string(n) + "\nnrows " + std::to_string(n) + "\nxllcorner 500000\nyllcorner 250000\ncellsize 1\nnodata_value -9999\n";
  std::string row;
  for (int r = n - 1; r >= 0; --r) {
    row.clear();
    for (int c = 0; c < n; ++c) {
      const double z = 100.0 + 0.05 * (c + r) + 3.0 * std::sin(c / 50.0) * std::cos(r / 70.0);
      row += fixed(std::round(z * 100.0) / 100.0 + 0.003, 3);
      row += ' ';
    }
    row += '\n';
    file << row;
  }
  return file ? 0 : fail("nie mozna zapisac " + std::string(out));
}

int read(const char* path) {
  const double before = peakBytes();
  const auto start = Clock::now();
  const auto result = kl::terrain::readAsciiGrid(path);
  const double elapsed = seconds(start);
  if (!result.ok) return fail(result.message);
  const double cells = static_cast<double>(result.grid.heights.size());
  const double megabytes = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
  std::printf("{\"seconds\": %s, \"mbPerSecond\": %s, \"bytesPerCell\": %s}\n", fixed(elapsed, 4).c_str(),
              fixed(megabytes / elapsed, 1).c_str(), fixed((peakBytes() - before) / cells, 2).c_str());
  return 0;
}

int contours(const char* path, const char* intervalText) {
  double interval = 0.0;
  std::from_chars(intervalText, intervalText + std::strlen(intervalText), interval);
  const auto sheet = kl::terrain::readAsciiGrid(path);
  if (!sheet.ok) return fail(sheet.message);
  const auto grid = kl::terrain::cellCentreNodes(sheet.grid);
  const auto start = Clock::now();
  const auto result = kl::terrain::ContourBuilder::build(
      grid, interval, {std::numeric_limits<std::size_t>::max(), std::numeric_limits<std::size_t>::max()});
  const double elapsed = seconds(start);
  std::size_t points = 0;
  double low = 1e300, high = -1e300;
  for (const auto& contour : result.contours) {
    points += contour.points.size();
    low = std::min(low, contour.level);
    high = std::max(high, contour.level);
  }
  std::printf("{\"seconds\": %s, \"contours\": %zu, \"points\": %zu, \"levels\": %s}\n", fixed(elapsed, 4).c_str(),
              result.contours.size(), points, fixed(std::round((high - low) / interval) + 1.0, 0).c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "make" && argc == 4) return make(argv[2], std::atoi(argv[3]));
  if (command == "read" && argc == 3) return read(argv[2]);
  if (command == "contours" && argc == 4) return contours(argv[2], argv[3]);
  return fail("uzycie: kl_terrain_bench make OUT.asc N | read SHEET.asc | contours SHEET.asc INTERVAL");
}
