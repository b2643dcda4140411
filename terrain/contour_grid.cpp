#include "terrain/contour_grid.h"

#include <array>
#include <cmath>
#include <limits>

#include "terrain/metres_text.h"

namespace kl::terrain {

bool isAllowedInterval(double interval) {
  constexpr std::array<double, 4> kAllowed = {0.25, 0.5, 1.0, 2.0};
  for (const double allowed : kAllowed) {
    if (std::abs(interval - allowed) < 1e-6) return true;
  }
  return false;
}

SampleStep sampleStepForFrame(const geo::Bbox& frame, double requestedStep) {
  SampleStep result;
  const double step = requestedStep > 0.0 ? requestedStep : 1.0;
  result.step = step;
  const double width = frame.maxX - frame.minX;
  const double height = frame.maxY - frame.minY;
  constexpr double kMaxIntervals = kMaxContourGridNodes - 1;
  if (std::floor(width / step) > kMaxIntervals || std::floor(height / step) > kMaxIntervals) {
    const double fitting = std::max(width, height) / kMaxIntervals;
    if (fitting > step) {
      result.step = fitting;
      result.message = "Poziomice: kadr za duzy dla kroku " + formatMetres(step) + " m - siatka NMT ograniczona do " +
                       std::to_string(kMaxContourGridNodes) + " wezlow na os. Uzyto kroku " + formatMetres(fitting) +
                       " m, aby zmiescic caly obszar.";
    }
  }
  return result;
}

HeightGrid sampleGrid(const geo::Bbox& frame, double step, const HeightSampler& sampler) {
  HeightGrid grid;
  if (!(step > 0.0)) return grid;
  const double columns = std::floor((frame.maxX - frame.minX) / step) + 1.0;
  const double rows = std::floor((frame.maxY - frame.minY) / step) + 1.0;
  // Checked as doubles: a degenerate or inverted frame must not reach an
  // integer conversion out of range.
  if (!(columns >= 2.0 && rows >= 2.0 && columns <= kMaxContourGridNodes && rows <= kMaxContourGridNodes)) {
    return grid;
  }
  grid.x0 = frame.minX;
  grid.y0 = frame.minY;
  grid.step = step;
  grid.nx = static_cast<std::int32_t>(columns);
  grid.ny = static_cast<std::int32_t>(rows);
  grid.values.resize(static_cast<std::size_t>(grid.nx) * static_cast<std::size_t>(grid.ny));
  for (std::int32_t r = 0; r < grid.ny; ++r) {
    for (std::int32_t c = 0; c < grid.nx; ++c) {
      const auto height = sampler(grid.x0 + c * step, grid.y0 + r * step);
      grid.values[grid.index(c, r)] = height ? *height : std::numeric_limits<double>::quiet_NaN();
    }
  }
  return grid;
}

void bilateralSmooth(HeightGrid& grid, double spatialSigma, double rangeSigma) {
  if (grid.nx <= 2 || grid.ny <= 2 || !(spatialSigma > 0.0) || !(rangeSigma > 0.0)) return;
  const double step = grid.step > 0.0 ? grid.step : 1.0;
  const auto radius = std::max<std::int32_t>(1, static_cast<std::int32_t>(std::ceil(2.0 * spatialSigma / step)));
  const double spatialFactor = step * step / (2.0 * spatialSigma * spatialSigma);
  const double rangeFactor = 1.0 / (2.0 * rangeSigma * rangeSigma);
  std::vector<double> smoothed(grid.values.size());
  for (std::int32_t r = 0; r < grid.ny; ++r) {
    for (std::int32_t c = 0; c < grid.nx; ++c) {
      const double z0 = grid.at(c, r);
      double weighted = 0.0;
      double weights = 0.0;
      if (!std::isnan(z0)) {
        for (std::int32_t dy = -radius; dy <= radius; ++dy) {
          const std::int32_t rr = r + dy;
          if (rr < 0 || rr >= grid.ny) continue;
          for (std::int32_t dx = -radius; dx <= radius; ++dx) {
            const std::int32_t cc = c + dx;
            if (cc < 0 || cc >= grid.nx) continue;
            const double z = grid.at(cc, rr);
            if (std::isnan(z)) continue;
            const double w = std::exp(-(dx * dx + dy * dy) * spatialFactor - (z - z0) * (z - z0) * rangeFactor);
            weighted += w * z;
            weights += w;
          }
        }
      }
      smoothed[grid.index(c, r)] = weights > 1e-12 ? weighted / weights : z0;
    }
  }
  grid.values = std::move(smoothed);
}

}  // namespace kl::terrain
