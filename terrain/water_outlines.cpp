#include "terrain/water_outlines.h"

#include <cmath>

#include "terrain/contour_builder.h"

namespace kl::terrain {
namespace {

constexpr double kMaskEdge = 0.5;  // between dry (0) and water (1)

// The water mask with a dry border, so every outline closes inside it.
HeightGrid waterMask(const CloudGroundGrid& grid) {
  const HeightGrid& g = grid.heights;
  HeightGrid mask;
  mask.x0 = g.x0 - g.step;
  mask.y0 = g.y0 - g.step;
  mask.step = g.step;
  mask.nx = g.nx + 2;
  mask.ny = g.ny + 2;
  mask.values.assign(static_cast<std::size_t>(mask.nx) * static_cast<std::size_t>(mask.ny), 0.0);
  for (std::int32_t r = 0; r < g.ny; ++r)
    for (std::int32_t c = 0; c < g.nx; ++c)
      if (grid.water[g.index(c, r)]) mask.values[mask.index(c + 1, r + 1)] = 1.0;
  return mask;
}

// Even-odd test of a point against a closed ring.
bool inside(const geo::Point2d& p, const Ring& ring) {
  bool in = false;
  for (std::size_t i = 1; i < ring.size(); ++i) {
    const geo::Point2d& a = ring[i - 1];
    const geo::Point2d& b = ring[i];
    if ((a.y > p.y) != (b.y > p.y) && p.x < a.x + (p.y - a.y) / (b.y - a.y) * (b.x - a.x)) in = !in;
  }
  return in;
}

}  // namespace

WaterSurface waterSurface(const CloudGroundGrid& grid) {
  WaterSurface out;
  if (std::isnan(grid.waterLevel) || grid.flattenedCells == 0) return out;
  out.level = grid.waterLevel;
  // Levels of the mask every 0.5 are 0, 0.5 and 1: only 0.5 runs between the nodes.
  const ContourResult traced = ContourBuilder::build(waterMask(grid), kMaskEdge, {SIZE_MAX, SIZE_MAX});
  std::vector<Ring> rings;
  for (const Contour& c : traced.contours) {
    if (c.level != kMaskEdge || c.points.size() < 4) continue;
    Ring ring;
    ring.reserve(c.points.size());
    for (const auto& [x, y] : c.points) ring.push_back({x, y});
    rings.push_back(std::move(ring));
  }
  for (std::size_t i = 0; i < rings.size(); ++i) {
    bool island = false;
    for (std::size_t j = 0; j < rings.size() && !island; ++j) island = j != i && inside(rings[i].front(), rings[j]);
    if (!island) out.outlines.push_back(std::move(rings[i]));
  }
  return out;
}

}  // namespace kl::terrain
