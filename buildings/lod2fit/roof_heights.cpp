#include "buildings/lod2fit/roof_heights.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace kl::buildings::lod2fit {
namespace {

constexpr double kRangeSlack = 0.5;  // metres beyond the points' heights still believed
constexpr double kAcrossTolerance = 35.0;  // degrees off square to the leading pair

double azimuthOf(const RoofPlane& p) { return std::atan2(p.ny, p.nx) * 180.0 / std::numbers::pi; }

double squareness(double a, double b) {
  const double d = std::fmod(std::abs(a - b), 180.0);
  return std::abs(d - 90.0);
}

// The mean run of the hip planes: the horizontal distance over which each
// climbs the roof's rise.
std::optional<double> hipRun(const RoofClass& kind, double rise) {
  if (!kind.firstPartner) return std::nullopt;
  const double lead = azimuthOf(kind.sloped[0]);
  double sum = 0;
  int hips = 0;
  for (size_t i = 1; i < kind.sloped.size(); ++i) {
    const RoofPlane& p = kind.sloped[i];
    if (i == *kind.firstPartner || squareness(azimuthOf(p), lead) > kAcrossTolerance) continue;
    sum += rise * std::abs(p.nz) / std::hypot(p.nx, p.ny);
    ++hips;
  }
  if (hips == 0) return std::nullopt;
  return sum / hips;
}

double heightOn(const RoofPlane& plane, double x, double y) { return -(plane.nx * x + plane.ny * y + plane.d) / plane.nz; }

double lowestOf(const std::vector<RoofPlane>& planes, double x, double y) {
  double z = std::numeric_limits<double>::infinity();
  for (const RoofPlane& p : planes) z = std::min(z, heightOn(p, x, y));
  return z;
}

// The point of the planes' meeting line nearest to (x, y), horizontally.
std::optional<geo::Point2d> nearestOnMeeting(const RoofPlane& a, const RoofPlane& b, geo::Point2d at) {
  // z = ga.x * x + ga.y * y + ca on each plane; they meet where the difference is 0.
  const double gx = -a.nx / a.nz + b.nx / b.nz, gy = -a.ny / a.nz + b.ny / b.nz;
  const double c = -a.d / a.nz + b.d / b.nz;
  const double g2 = gx * gx + gy * gy;
  if (g2 < 1e-12) return std::nullopt;
  const double off = (gx * at.x + gy * at.y + c) / g2;
  return geo::Point2d{at.x - off * gx, at.y - off * gy};
}

}  // namespace

std::optional<RoofHeights> heightsFromPlanes(const RoofClass& kind, const Footprint& footprint,
                                             const std::vector<Point3d>& roofPoints, double groundZ) {
  if (footprint.empty() || roofPoints.empty()) return std::nullopt;
  geo::Point2d middle{};
  for (const geo::Point2d& p : footprint) {
    middle.x += p.x / static_cast<double>(footprint.size());
    middle.y += p.y / static_cast<double>(footprint.size());
  }
  RoofHeights h;
  if (kind.sloped.empty()) {
    if (kind.flat.empty()) return std::nullopt;
    h.eaveZ = heightOn(kind.flat.front(), middle.x, middle.y);
    h.ridgeZ = h.eaveZ + 0.1;
  } else {
    h.eaveZ = std::numeric_limits<double>::infinity();
    for (const geo::Point2d& p : footprint) h.eaveZ = std::min(h.eaveZ, lowestOf(kind.sloped, p.x, p.y));
    std::optional<geo::Point2d> ridge;
    if (kind.firstPartner) ridge = nearestOnMeeting(kind.sloped[0], kind.sloped[*kind.firstPartner], middle);
    if (ridge) {
      h.ridgeZ = lowestOf(kind.sloped, ridge->x, ridge->y);
    } else {
      h.ridgeZ = -std::numeric_limits<double>::infinity();
      for (const geo::Point2d& p : footprint) h.ridgeZ = std::max(h.ridgeZ, lowestOf(kind.sloped, p.x, p.y));
    }
  }
  double low = std::numeric_limits<double>::infinity(), high = -low;
  for (const Point3d& p : roofPoints) {
    low = std::min(low, p.z);
    high = std::max(high, p.z);
  }
  const bool believable = std::isfinite(h.eaveZ) && std::isfinite(h.ridgeZ) && h.eaveZ > groundZ &&
                          h.eaveZ >= low - kRangeSlack && h.ridgeZ <= high + kRangeSlack && h.ridgeZ >= h.eaveZ + 0.1;
  if (!believable) return std::nullopt;
  if (!kind.sloped.empty()) h.hipInset = hipRun(kind, h.ridgeZ - h.eaveZ);
  return h;
}

}  // namespace kl::buildings::lod2fit
