// Conversions per second on the points of a file of "lat lon" lines, in
// memory, so the figure excludes text input and output.
//   kl_bench_geodata_transforms POINTS_FILE
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "geodata/polish_crs.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "Uzycie: kl_bench_geodata_transforms PLIK_PUNKTOW\n");
    return 2;
  }
  std::vector<kl::geo::LatLon> points;
  std::ifstream in(argv[1]);
  in.imbue(std::locale::classic());
  double lat = 0;
  double lon = 0;
  while (in >> lat >> lon) points.push_back({lat, lon});
  if (points.empty()) return 1;
  using Clock = std::chrono::steady_clock;
  double checksum = 0;
  std::vector<kl::geo::Point2d> grid(points.size());
  auto t0 = Clock::now();
  for (std::size_t i = 0; i < points.size(); ++i) {
    grid[i] = kl::geo::wgs84ToPl1992(points[i].lat, points[i].lon);
  }
  auto t1 = Clock::now();
  for (const kl::geo::Point2d& p : grid) checksum += kl::geo::pl1992ToWgs84(p.x, p.y).lat;
  auto t2 = Clock::now();
  for (const kl::geo::Point2d& p : grid) checksum += kl::geo::pl1992ToPl2000(p.x, p.y, 2178).x;
  auto t3 = Clock::now();
  const auto rate = [&](Clock::time_point a, Clock::time_point b) {
    return static_cast<double>(points.size()) / std::chrono::duration<double>(b - a).count();
  };
  std::printf("points %zu\n", points.size());
  std::printf("wgs84ToPl1992_per_s %.0f\n", rate(t0, t1));
  std::printf("pl1992ToWgs84_per_s %.0f\n", rate(t1, t2));
  std::printf("pl1992ToPl2000_per_s %.0f\n", rate(t2, t3));
  std::fprintf(stderr, "checksum %.3f\n", checksum);
  return 0;
}
