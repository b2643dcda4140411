// Conversions per second on the points of a file of "lat lon" lines, in
// memory, so the figure excludes text input and output: ours through the
// library call against PROJ's own (proj_trans_generic over the same arrays),
// one thread each, alternately round by round; the ratio is the median of the
// rounds' ratios.
//   kl_bench_geodata_transforms POINTS_FILE [ROUNDS]
#include <proj.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "geodata/polish_crs.h"
#include "bench/measure.h"

namespace {

using Clock = std::chrono::steady_clock;
using kl::geo::LatLon;
using kl::geo::Point2d;

// Coordinates of one system as two arrays, in PROJ's visualisation order
// (longitude or easting first).
struct Points {
  std::vector<double> first, second;
};

struct Conversion {
  const char* name;
  const char* from;
  const char* to;
  const Points* input;
  std::function<void(const Points&, Points&)> ours;
};

double seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

using kl::bench::median;

template <class Convert>
void each(const Points& in, Points& out, Convert convert) {
  for (std::size_t i = 0; i < in.first.size(); ++i) {
    const auto [a, b] = convert(in.first[i], in.second[i]);
    out.first[i] = a;
    out.second[i] = b;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "Uzycie: kl_bench_geodata_transforms PLIK_PUNKTOW [RUNDY]\n");
    return 2;
  }
  const int rounds = argc > 2 ? std::max(1, std::stoi(argv[2])) : 5;
  Points wgs84;
  {
    std::ifstream in(argv[1]);
    in.imbue(std::locale::classic());
    double lat = 0;
    double lon = 0;
    while (in >> lat >> lon) {
      wgs84.first.push_back(lon);
      wgs84.second.push_back(lat);
    }
  }
  const std::size_t n = wgs84.first.size();
  if (n == 0) return 1;
  constexpr int kZone = 2178;
  Points pl1992{std::vector<double>(n), std::vector<double>(n)};
  Points pl2000{std::vector<double>(n), std::vector<double>(n)};
  each(wgs84, pl1992, [](double lon, double lat) {
    const Point2d p = kl::geo::wgs84ToPl1992(lat, lon);
    return std::pair{p.x, p.y};
  });
  each(wgs84, pl2000, [](double lon, double lat) {
    const Point2d p = kl::geo::wgs84ToPl2000(lat, lon, kZone);
    return std::pair{p.x, p.y};
  });
  auto grid = [](Point2d p) { return std::pair{p.x, p.y}; };
  auto geographic = [](LatLon g) { return std::pair{g.lon, g.lat}; };
  const std::vector<Conversion> conversions = {
      {"WGS84 -> PL-1992", "EPSG:4326", "EPSG:2180", &wgs84,
       [&](const Points& in, Points& out) {
         each(in, out, [&](double lon, double lat) { return grid(kl::geo::wgs84ToPl1992(lat, lon)); });
       }},
      {"PL-1992 -> WGS84", "EPSG:2180", "EPSG:4326", &pl1992,
       [&](const Points& in, Points& out) {
         each(in, out, [&](double e, double nn) { return geographic(kl::geo::pl1992ToWgs84(e, nn)); });
       }},
      {"PL-1992 -> PL-2000/6", "EPSG:2180", "EPSG:2178", &pl1992,
       [&](const Points& in, Points& out) {
         each(in, out, [&](double e, double nn) { return grid(kl::geo::pl1992ToPl2000(e, nn, kZone)); });
       }},
      {"PL-2000/6 -> PL-1992", "EPSG:2178", "EPSG:2180", &pl2000,
       [&](const Points& in, Points& out) {
         each(in, out, [&](double e, double nn) { return grid(kl::geo::pl2000ToPl1992(e, nn, kZone)); });
       }},
      {"WGS84 -> PL-2000/6", "EPSG:4326", "EPSG:2178", &wgs84,
       [&](const Points& in, Points& out) {
         each(in, out, [&](double lon, double lat) { return grid(kl::geo::wgs84ToPl2000(lat, lon, kZone)); });
       }},
      {"PL-2000/6 -> WGS84", "EPSG:2178", "EPSG:4326", &pl2000,
       [&](const Points& in, Points& out) {
         each(in, out, [&](double e, double nn) { return geographic(kl::geo::pl2000ToWgs84(e, nn, kZone)); });
       }},
  };

  PJ_CONTEXT* ctx = proj_context_create();
  std::printf("%zu points, %d rounds, 1 thread each\n", n, rounds);
  for (const Conversion& c : conversions) {
    PJ* raw = proj_create_crs_to_crs(ctx, c.from, c.to, nullptr);
    PJ* pj = raw ? proj_normalize_for_visualization(ctx, raw) : nullptr;
    proj_destroy(raw);
    if (!pj) {
      std::fprintf(stderr, "PROJ: brak przeksztalcenia %s -> %s\n", c.from, c.to);
      return 1;
    }
    Points ours{std::vector<double>(n), std::vector<double>(n)};
    std::vector<double> ourRate, projRate, ratio;
    for (int r = 0; r < rounds; ++r) {
      const auto t0 = Clock::now();
      c.ours(*c.input, ours);
      const auto t1 = Clock::now();
      Points theirs = *c.input;
      const auto t2 = Clock::now();
      proj_trans_generic(pj, PJ_FWD, theirs.first.data(), sizeof(double), n, theirs.second.data(),
                         sizeof(double), n, nullptr, 0, 0, nullptr, 0, 0);
      const auto t3 = Clock::now();
      ourRate.push_back(static_cast<double>(n) / seconds(t0, t1));
      projRate.push_back(static_cast<double>(n) / seconds(t2, t3));
      ratio.push_back(ourRate.back() / projRate.back());
    }
    proj_destroy(pj);
    std::printf("%-22s ours %9.0f /s  PROJ %9.0f /s  ours/PROJ %.2fx\n", c.name, median(ourRate),
                median(projRate), median(ratio));
  }
  proj_context_destroy(ctx);
  return 0;
}
