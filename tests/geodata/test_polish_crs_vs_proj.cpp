// Conversions checked against PROJ's cs2cs on random points over Poland and a
// 50 km margin around it.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "geodata/polish_crs.h"
#include "tests/geodata/proj_oracle.h"
#include "tests/support/c_number.h"

namespace kl::geo {
namespace {

using Pairs = std::vector<std::pair<double, double>>;
constexpr double kMetresPerDegree = 111320.0;
constexpr double kTolerance = 1e-3;
constexpr int kPoints = 10000;

std::vector<LatLon> randomPointsOverPoland(unsigned seed) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> lat(48.55, 55.3);
  std::uniform_real_distribution<double> lon(13.35, 24.9);
  std::vector<LatLon> points(kPoints);
  for (LatLon& p : points) p = {lat(rng), lon(rng)};
  return points;
}

std::string epsg(int code) { return "EPSG:" + std::to_string(code); }

// A gap for the test log, in C notation whatever the locale.
std::string metres(double v) { return test::cNumber(v, std::chars_format::scientific, 3); }

double geographicGap(const LatLon& ours, const std::pair<double, double>& proj) {
  const double dn = (ours.lat - proj.first) * kMetresPerDegree;
  const double de = (ours.lon - proj.second) * kMetresPerDegree * std::cos(ours.lat * M_PI / 180);
  return std::hypot(dn, de);
}

double gridGap(const Point2d& ours, const std::pair<double, double>& projNorthEast) {
  return std::hypot(ours.y - projNorthEast.first, ours.x - projNorthEast.second);
}

// cs2cs missing fails these tests rather than skipping them: the oracle must run.
class AgainstProj : public ::testing::TestWithParam<int> {};
class Pl2000AgainstProj : public ::testing::TestWithParam<int> {};

TEST_P(AgainstProj, GeographicToGridAndBack) {
  const int code = GetParam();
  const auto points = randomPointsOverPoland(static_cast<unsigned>(code));
  Pairs latLon;
  for (const LatLon& p : points) latLon.emplace_back(p.lat, p.lon);
  const auto grid = testing::runCs2cs("EPSG:4326", epsg(code), latLon);
  ASSERT_TRUE(grid) << "cs2cs (proj-bin) is not installed";
  double worstForward = 0.0;
  double worstInverse = 0.0;
  Pairs northEast;
  for (std::size_t i = 0; i < points.size(); ++i) {
    const Point2d ours = code == kEpsgPl1992 ? wgs84ToPl1992(points[i].lat, points[i].lon)
                                             : wgs84ToPl2000(points[i].lat, points[i].lon, code);
    worstForward = std::max(worstForward, gridGap(ours, (*grid)[i]));
    northEast.push_back((*grid)[i]);
  }
  const auto geographic = testing::runCs2cs(epsg(code), "EPSG:4326", northEast);
  ASSERT_TRUE(geographic);
  for (std::size_t i = 0; i < points.size(); ++i) {
    const double n = northEast[i].first;
    const double e = northEast[i].second;
    const LatLon ours = code == kEpsgPl1992 ? pl1992ToWgs84(e, n) : pl2000ToWgs84(e, n, code);
    worstInverse = std::max(worstInverse, geographicGap(ours, (*geographic)[i]));
  }
  std::printf("EPSG:%d forward max %s m, inverse max %s m\n", code, metres(worstForward).c_str(),
              metres(worstInverse).c_str());
  EXPECT_LT(worstForward, kTolerance);
  EXPECT_LT(worstInverse, kTolerance);
}

TEST_P(Pl2000AgainstProj, BetweenGrids) {
  const int zone = GetParam();
  const auto points = randomPointsOverPoland(static_cast<unsigned>(zone) + 100);
  Pairs from1992;
  Pairs from2000;
  for (const LatLon& p : points) {
    const Point2d a = wgs84ToPl1992(p.lat, p.lon);
    const Point2d b = wgs84ToPl2000(p.lat, p.lon, zone);
    from1992.emplace_back(a.y, a.x);
    from2000.emplace_back(b.y, b.x);
  }
  const auto to2000 = testing::runCs2cs("EPSG:2180", epsg(zone), from1992);
  const auto to1992 = testing::runCs2cs(epsg(zone), "EPSG:2180", from2000);
  ASSERT_TRUE(to2000 && to1992) << "cs2cs (proj-bin) is not installed";
  double worst = 0.0;
  for (std::size_t i = 0; i < points.size(); ++i) {
    worst = std::max(worst, gridGap(pl1992ToPl2000(from1992[i].second, from1992[i].first, zone),
                                    (*to2000)[i]));
    worst = std::max(worst, gridGap(pl2000ToPl1992(from2000[i].second, from2000[i].first, zone),
                                    (*to1992)[i]));
  }
  std::printf("EPSG:2180 <-> EPSG:%d max %s m\n", zone, metres(worst).c_str());
  EXPECT_LT(worst, kTolerance);
}

INSTANTIATE_TEST_SUITE_P(Codes, AgainstProj, ::testing::Values(2180, 2176, 2177, 2178, 2179));
INSTANTIATE_TEST_SUITE_P(Zones, Pl2000AgainstProj, ::testing::Values(2176, 2177, 2178, 2179));

}  // namespace
}  // namespace kl::geo
