#pragma once

#include <functional>
#include <optional>
#include <string>

#include "geodata/geometry.h"
#include "terrain/height_grid.h"

namespace kl::terrain {

// Contour intervals a user may choose: 0.25, 0.5, 1 and 2 m.
bool isAllowedInterval(double interval);

// More nodes per axis make the contour grid too dense to trace in time.
inline constexpr int kMaxContourGridNodes = 3000;

struct SampleStep {
  double step = 1.0;
  std::string message;  // Polish, set when the step had to grow
};

// The sampling step for a frame: the requested one (1 m when not positive),
// grown just enough that neither axis needs more than 3000 nodes.
SampleStep sampleStepForFrame(const geo::Bbox& frame, double requestedStep);

// Heights sampled once per node over the frame from its minimum corner; NaN
// where the sampler has no data. Empty when an axis has fewer than 2 nodes.
using HeightSampler = std::function<std::optional<double>(double x, double y)>;
HeightGrid sampleGrid(const geo::Bbox& frame, double step, const HeightSampler& sampler);

// Edge-preserving smoothing: each node becomes a mean of its neighbours
// weighted by distance (sigma `spatialSigma` m) and by height difference
// (sigma `rangeSigma` m), so terraces and embankments keep their edges while
// sampling noise goes. Nodes without data stay so.
void bilateralSmooth(HeightGrid& grid, double spatialSigma, double rangeSigma);

}  // namespace kl::terrain
