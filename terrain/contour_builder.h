#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "terrain/contour.h"
#include "terrain/height_grid.h"

namespace kl::terrain {

struct ContourLimits {
  std::size_t maxContours = 3000;
  std::size_t maxPoints = 600'000;
};

struct ContourResult {
  std::vector<Contour> contours;  // in increasing level order
  bool truncated = false;         // a limit cut the result short
  bool cancelled = false;
  std::string message;  // Polish; set when truncated, cancelled or the heights are out of range
};

class ContourBuilder {
 public:
  using CancelQuery = std::function<bool()>;
  using Progress = std::function<void(std::size_t done, std::size_t total)>;

  // Contour lines of `grid` every `interval` metres by marching squares;
  // nodes equal to a level count as above it, cells with a missing corner
  // are left out. Each cell is visited once and its crossings are sorted
  // into their levels, so the cost does not grow with the level count.
  static ContourResult build(const HeightGrid& grid, double interval, const ContourLimits& limits,
                             const CancelQuery& cancelled = {}, const Progress& progress = {});
};

}  // namespace kl::terrain
