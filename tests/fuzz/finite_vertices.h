#pragma once
// The parser never lets a vertex through that is not a number: it would equal
// nothing, not even itself, and be drawn nowhere. A coordinate far outside its
// zone once gave one (regressions/far_zone_coordinate.gml).
#include <algorithm>
#include <cmath>
#include <vector>

#include "geodata/gis_feature.h"

namespace kl::fuzz {

inline bool hasOnlyFiniteVertices(const geo::GisFeature& f) {
  const auto finite = [](geo::Point2d p) { return std::isfinite(p.x) && std::isfinite(p.y); };
  const auto finiteLine = [&](const std::vector<geo::Point2d>& line) {
    return std::all_of(line.begin(), line.end(), finite);
  };
  return (!f.hasPoint || finite(f.point)) && std::all_of(f.lines.begin(), f.lines.end(), finiteLine) &&
         std::all_of(f.polygons.begin(), f.polygons.end(), [&](const geo::Polygon& polygon) {
           return finiteLine(polygon.exterior) && std::all_of(polygon.holes.begin(), polygon.holes.end(), finiteLine);
         });
}

inline bool haveOnlyFiniteVertices(const std::vector<geo::GisFeature>& features) {
  return std::all_of(features.begin(), features.end(), hasOnlyFiniteVertices);
}

}  // namespace kl::fuzz
