#include "terrain/contour_smoothing.h"

#include <cmath>
#include <cstddef>

namespace kl::terrain {
namespace {

using Point = std::pair<double, double>;
using Points = std::vector<Point>;

Point along(const Point& p, const Point& q, double t) {
  return {p.first + t * (q.first - p.first), p.second + t * (q.second - p.second)};
}

Points cutCornersOpen(const Points& points) {
  Points out;
  out.reserve(points.size() * 2);
  out.push_back(points.front());
  for (std::size_t i = 0; i + 1 < points.size(); ++i) {
    out.push_back(along(points[i], points[i + 1], 0.25));
    out.push_back(along(points[i], points[i + 1], 0.75));
  }
  out.push_back(points.back());
  return out;
}

Points cutCornersClosed(const Points& points) {
  const std::size_t m = points.size() - 1;
  if (m < 3) return points;
  Points out;
  out.reserve(2 * m + 1);
  for (std::size_t i = 0; i < m; ++i) {
    out.push_back(along(points[i], points[(i + 1) % m], 0.25));
    out.push_back(along(points[i], points[(i + 1) % m], 0.75));
  }
  out.push_back(out.front());
  return out;
}

// Distance of p from the line through a and b; from a when they coincide.
double offLine(const Point& p, const Point& a, const Point& b) {
  const double dx = b.first - a.first;
  const double dy = b.second - a.second;
  const double length = std::hypot(dx, dy);
  if (length < 1e-9) return std::hypot(p.first - a.first, p.second - a.second);
  return std::abs(dx * (p.second - a.second) - dy * (p.first - a.first)) / length;
}

Points thin(const Points& points, bool closed, double tolerance) {
  const std::size_t n = points.size();
  Points kept;
  if (!closed) kept.push_back(points.front());
  for (std::size_t i = closed ? 0 : 1; i + 1 < n; ++i) {
    const Point& before = !kept.empty() ? kept.back() : points[i == 0 ? n - 1 : i - 1];
    if (offLine(points[i], before, points[i + 1]) >= tolerance) kept.push_back(points[i]);
  }
  if (closed) {
    if (!kept.empty()) kept.push_back(kept.front());
    return kept.size() >= 4 ? kept : points;
  }
  kept.push_back(points.back());
  return kept.size() >= 2 ? kept : points;
}

}  // namespace

void smoothContours(std::vector<Contour>& contours, int iterations, double tolerance) {
  for (Contour& contour : contours) {
    Points& points = contour.points;
    if (points.size() < 3) continue;
    const bool closed = std::abs(points.front().first - points.back().first) < 1e-6 &&
                        std::abs(points.front().second - points.back().second) < 1e-6;
    for (int i = 0; i < iterations; ++i) points = closed ? cutCornersClosed(points) : cutCornersOpen(points);
    if (points.size() >= 4 && tolerance > 0.0) points = thin(points, closed, tolerance);
  }
}

}  // namespace kl::terrain
