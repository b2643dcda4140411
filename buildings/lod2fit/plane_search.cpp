#include "buildings/lod2fit/plane_search.h"

#include <cmath>

namespace kl::buildings::lod2fit {
namespace {

double populationDeviation(const std::vector<Point3d>& points, double Point3d::*axis) {
  double mean = 0;
  for (const Point3d& p : points) mean += p.*axis;
  mean /= static_cast<double>(points.size());
  double sum = 0;
  for (const Point3d& p : points) sum += (p.*axis - mean) * (p.*axis - mean);
  return std::sqrt(sum / static_cast<double>(points.size()));
}

int countWithin(const std::vector<Point3d>& points, const RoofPlane& plane, double distance) {
  int count = 0;
  for (const Point3d& p : points) count += std::abs(plane.distance(p)) <= distance;
  return count;
}

}  // namespace

std::vector<RoofPlane> detectRoofPlanes(const std::vector<Point3d>& points, const PlaneSearchSettings& settings) {
  std::vector<RoofPlane> planes;
  std::vector<Point3d> free = points;
  XorShift32 random(kPlaneSearchSeed);
  for (int attempt = 0; attempt < 3 * settings.maxPlanes && static_cast<int>(planes.size()) < settings.maxPlanes;
       ++attempt) {
    if (free.size() < static_cast<size_t>(settings.minInliers)) break;
    const auto count = static_cast<std::uint32_t>(free.size());
    RoofPlane best;
    int bestCount = -1;
    for (int i = 0; i < settings.iterations; ++i) {
      const std::uint32_t a = random.next() % count, b = random.next() % count, c = random.next() % count;
      if (a == b || b == c || a == c) continue;
      const Point3d sample[] = {free[a], free[b], free[c]};
      const auto plane = fitRoofPlane(sample);
      if (!plane || std::abs(plane->nz) < settings.minAbsNz) continue;
      const int inliers = countWithin(free, *plane, settings.inlierDistance);
      if (inliers > bestCount) {
        bestCount = inliers;
        best = *plane;
      }
    }
    if (bestCount < settings.minInliers) break;
    std::vector<Point3d> inliers, rest;
    for (const Point3d& p : free) (std::abs(best.distance(p)) <= settings.inlierDistance ? inliers : rest).push_back(p);
    free = std::move(rest);
    // A narrow strip (an eave line, a ridge) fits a plane of any tilt.
    if (std::min(populationDeviation(inliers, &Point3d::x), populationDeviation(inliers, &Point3d::y)) <
        settings.minSpread)
      continue;
    const auto refit = fitRoofPlane(inliers);
    if (refit && std::abs(refit->nz) >= settings.minAbsNz) planes.push_back(*refit);
  }
  return planes;
}

}  // namespace kl::buildings::lod2fit
