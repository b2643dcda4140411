#include "terrain/contour_labels.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "terrain/metres_text.h"

namespace kl::terrain {
namespace {

// Turned by whole half-turns into (-pi/2, pi/2].
double upright(double angle) {
  return angle - std::numbers::pi * std::ceil((angle - std::numbers::pi / 2.0) / std::numbers::pi);
}

}  // namespace

std::vector<ContourLabel> labelContour(const Contour& contour) {
  std::vector<ContourLabel> labels;
  const auto& points = contour.points;
  if (!contour.index || points.size() < 2) return labels;
  std::vector<double> cumulative(points.size(), 0.0);
  for (std::size_t i = 1; i < points.size(); ++i) {
    cumulative[i] = cumulative[i - 1] +
                    std::hypot(points[i].first - points[i - 1].first, points[i].second - points[i - 1].second);
  }
  const double total = cumulative.back();
  if (!(total > 0.0)) return labels;
  std::vector<double> positions;
  if (total < 50.0) {
    positions.push_back(total / 2.0);
  } else {
    for (double at = 25.0; at < total; at += 50.0) positions.push_back(at);
  }
  const std::string text = formatMetres(contour.level);
  for (const double at : positions) {
    const auto end = std::lower_bound(cumulative.begin() + 1, cumulative.end(), at);
    const auto i = static_cast<std::size_t>(end - cumulative.begin());
    const auto& [ax, ay] = points[i - 1];
    const auto& [bx, by] = points[i];
    const double length = cumulative[i] - cumulative[i - 1];
    const double t = length < 1e-12 ? 0.0 : (at - cumulative[i - 1]) / length;
    labels.push_back({ax + t * (bx - ax), ay + t * (by - ay), upright(std::atan2(by - ay, bx - ax)), text});
  }
  return labels;
}

double labelAngle(double angle, double rotation) { return upright(angle - rotation); }

}  // namespace kl::terrain
