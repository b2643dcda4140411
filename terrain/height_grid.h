#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kl::terrain {

// Heights at regularly spaced nodes: node (c, r) lies at (x0 + c*step,
// y0 + r*step) and is stored at r*nx + c, rows from the south. NaN marks a
// node without data.
struct HeightGrid {
  double x0 = 0.0;
  double y0 = 0.0;
  double step = 1.0;
  std::int32_t nx = 0;
  std::int32_t ny = 0;
  std::vector<double> values;

  std::size_t index(std::int32_t c, std::int32_t r) const noexcept {
    return static_cast<std::size_t>(r) * static_cast<std::size_t>(nx) + static_cast<std::size_t>(c);
  }
  double at(std::int32_t c, std::int32_t r) const noexcept { return values[index(c, r)]; }
};

}  // namespace kl::terrain
