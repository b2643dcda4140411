#include "buildings/lod2fit/roof_segmentation.h"

#include <algorithm>

namespace kl::buildings::lod2fit {
namespace {

constexpr size_t kMinPoints = 8;
constexpr size_t kWantedRoofPoints = 30;
constexpr size_t kMinRoofPoints = 12;
constexpr double kLowestRoof = 2.0;  // metres above the ground

std::vector<double> sortedHeights(const std::vector<Point3d>& points) {
  std::vector<double> z;
  z.reserve(points.size());
  for (const Point3d& p : points) z.push_back(p.z);
  std::sort(z.begin(), z.end());
  return z;
}

std::vector<Point3d> above(const std::vector<Point3d>& points, double threshold) {
  std::vector<Point3d> out;
  for (const Point3d& p : points)
    if (p.z > threshold) out.push_back(p);
  return out;
}

}  // namespace

double percentile(const std::vector<double>& sorted, double q) {
  if (sorted.empty()) return 0.0;
  const double position = q * static_cast<double>(sorted.size() - 1);
  const auto i = static_cast<size_t>(position);
  const double f = position - static_cast<double>(i);
  return (1.0 - f) * sorted[i] + f * sorted[std::min(i + 1, sorted.size() - 1)];
}

RoofPoints segmentRoofPoints(const std::vector<Point3d>& points, double groundZ) {
  RoofPoints out;
  if (points.size() >= kMinPoints) {
    const double top = percentile(sortedHeights(points), 0.98);
    const double rise = (top - groundZ) * 0.4;
    out.points = above(points, rise > kLowestRoof ? groundZ + rise : groundZ + kLowestRoof);
    if (out.points.size() < kWantedRoofPoints) out.points = above(points, groundZ + kLowestRoof);
    out.segmented = out.points.size() >= kMinRoofPoints;
  }
  if (!out.segmented) {
    out.points = points;
    out.eaveZ = groundZ + 0.1;
    out.ridgeZ = groundZ + 3.0;
    return out;
  }
  const std::vector<double> z = sortedHeights(out.points);
  out.eaveZ = percentile(z, 0.10);
  out.ridgeZ = std::max(percentile(z, 0.95), out.eaveZ + 0.1);
  return out;
}

}  // namespace kl::buildings::lod2fit
