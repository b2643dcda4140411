#include "buildings/lod2fit/roof_classifier.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kl::buildings::lod2fit {
namespace {

constexpr double kSupportDistance = 0.35;
constexpr double kFlatSlope = 8.0;      // degrees
constexpr double kMergeSlope = 14.0;    // degrees
constexpr double kMergeAzimuth = 22.0;  // degrees
constexpr double kPairTolerance = 35.0;  // degrees off facing
constexpr double kMinShare = 0.08;
constexpr double kGabledSlopeDifference = 12.0;  // degrees

double degrees(double radians) { return radians * 180.0 / std::numbers::pi; }

double circularDifference(double a, double b) {
  double d = std::fmod(std::abs(a - b), 360.0);
  return d > 180.0 ? 360.0 - d : d;
}

struct Facet {
  RoofPlane plane;
  int support = 0;
  double slope = 0.0;    // degrees
  double azimuth = 0.0;  // degrees, downhill
  bool flat() const { return slope < kFlatSlope; }
};

Facet facet(const RoofPlane& plane, const std::vector<Point3d>& points) {
  Facet f{plane};
  for (const Point3d& p : points) f.support += std::abs(plane.distance(p)) < kSupportDistance;
  f.slope = degrees(std::acos(std::min(1.0, std::abs(plane.nz))));
  f.azimuth = degrees(std::atan2(plane.ny, plane.nx));
  if (f.azimuth < 0) f.azimuth += 360.0;
  return f;
}

std::vector<Facet> merged(const std::vector<RoofPlane>& planes, const std::vector<Point3d>& points) {
  std::vector<Facet> kept;
  for (const RoofPlane& plane : planes) {
    const Facet f = facet(plane, points);
    const auto into = std::find_if(kept.begin(), kept.end(), [&](const Facet& k) {
      if (f.flat() || k.flat()) return f.flat() && k.flat();
      return std::abs(f.slope - k.slope) < kMergeSlope && circularDifference(f.azimuth, k.azimuth) < kMergeAzimuth;
    });
    if (into == kept.end())
      kept.push_back(f);
    else
      into->support += f.support;
  }
  return kept;
}

// The eave of a slope lies downhill; the ridge runs across that, with the eave
// on its right.
geo::Point2d ridgeOf(double downhillDegrees) {
  const double a = downhillDegrees * std::numbers::pi / 180.0;
  return {-std::sin(a), std::cos(a)};
}

// Mean downhill direction of a facing pair, taken from the larger plane: the
// other's azimuth is turned by 180 degrees and averaged on the circle.
double pairDownhill(const Facet& larger, const Facet& smaller) {
  const double a = larger.azimuth * std::numbers::pi / 180.0;
  const double b = (smaller.azimuth + 180.0) * std::numbers::pi / 180.0;
  return degrees(std::atan2(std::sin(a) + std::sin(b), std::cos(a) + std::cos(b)));
}

}  // namespace

RoofClass classifyRoof(const std::vector<RoofPlane>& planes, const std::vector<Point3d>& roofPoints) {
  std::vector<Facet> facets = merged(planes, roofPoints);
  const double minSupport = kMinShare * static_cast<double>(roofPoints.size());
  std::erase_if(facets, [&](const Facet& f) { return !(f.support > minSupport); });
  std::stable_sort(facets.begin(), facets.end(), [](const Facet& a, const Facet& b) { return a.support > b.support; });
  RoofClass out;
  std::vector<Facet> sloped;
  for (const Facet& f : facets) {
    (f.flat() ? out.flat : out.sloped).push_back(f.plane);
    if (!f.flat()) sloped.push_back(f);
  }

  std::vector<int> partner(sloped.size(), -1);
  int pairs = 0;
  for (size_t i = 0; i < sloped.size(); ++i) {
    if (partner[i] >= 0) continue;
    for (size_t j = i + 1; j < sloped.size(); ++j) {
      if (partner[j] >= 0) continue;
      if (std::abs(circularDifference(sloped[i].azimuth, sloped[j].azimuth) - 180.0) > kPairTolerance) continue;
      partner[i] = static_cast<int>(j);
      partner[j] = static_cast<int>(i);
      ++pairs;
      break;
    }
  }

  if (!sloped.empty() && partner[0] >= 0) out.firstPartner = static_cast<size_t>(partner[0]);
  out.slopedPlanes = static_cast<int>(sloped.size());
  out.pairs = pairs;
  const int s = out.slopedPlanes;
  if (s == 0) {
    out.name = "Flat";
    out.confidence = 1.0;
  } else if (s == 1) {
    out.name = "Shed";
    out.confidence = 0.9;
  } else if (pairs >= 2) {
    out.name = "Hipped";
    out.confidence = 0.35;
  } else if (s == 2 && pairs == 1) {
    const bool even = std::abs(sloped[0].slope - sloped[1].slope) <= kGabledSlopeDifference;
    out.name = even ? "Gabled" : "AsymGabled";
    out.confidence = even ? 0.9 : 0.8;
  } else if (s >= 3) {
    out.name = "Hipped";
    out.confidence = 0.7;
  } else {
    out.name = "Hipped";
    out.confidence = 0.4;
  }
  // The largest sloped plane leads: a ridge runs across the mean azimuth of
  // its pair, a single slope rises across its own; unpaired slopes say
  // nothing reliable and leave the footprint's longest edge in charge.
  if (s == 1) out.ridge = ridgeOf(sloped[0].azimuth);
  if (s >= 2 && partner[0] >= 0) out.ridge = ridgeOf(pairDownhill(sloped[0], sloped[static_cast<size_t>(partner[0])]));
  return out;
}

}  // namespace kl::buildings::lod2fit
