#pragma once

#include <utility>
#include <vector>

namespace kl::terrain {

// One contour line; a closed one repeats its first point at the end.
struct Contour {
  double level = 0.0;  // metres above sea level
  bool index = false;  // every fifth level, drawn heavier and labelled
  std::vector<std::pair<double, double>> points;
};

}  // namespace kl::terrain
