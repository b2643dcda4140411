#pragma once
// What every text fuzzer shares: libFuzzer's entry, which hands the input to the
// fuzzer's fuzzText as text, and a property that the parser's result must have
// whatever the input: when it does not hold, the run stops like on a crash and
// libFuzzer keeps the input.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "geodata/gis_feature.h"

namespace kl::fuzz {

inline void expect(bool holds) {
  if (!holds) __builtin_trap();
}

void fuzzText(std::string_view text);

inline bool holds(const std::vector<std::string>& names, std::string_view name) {
  return std::ranges::find(names, name) != names.end();
}

// True when part lies within whole: what a parser hands back points into its input.
inline bool isInside(std::string_view part, std::string_view whole) {
  return part.empty() || (part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size());
}

// The parser never lets a vertex through that is not a number: it would equal
// nothing, not even itself, and be drawn nowhere. A coordinate far outside its
// zone once gave one (regressions/far_zone_coordinate.gml).
inline bool haveOnlyFiniteVertices(const std::vector<geo::GisFeature>& features) {
  const auto finite = [](geo::Point2d p) { return std::isfinite(p.x) && std::isfinite(p.y); };
  const auto finiteLine = [&](const std::vector<geo::Point2d>& line) { return std::ranges::all_of(line, finite); };
  return std::ranges::all_of(features, [&](const geo::GisFeature& f) {
    return (!f.hasPoint || finite(f.point)) && std::ranges::all_of(f.lines, finiteLine) &&
           std::ranges::all_of(f.polygons, [&](const geo::Polygon& polygon) {
             return finiteLine(polygon.exterior) && std::ranges::all_of(polygon.holes, finiteLine);
           });
  });
}

}  // namespace kl::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kl::fuzz::fuzzText({reinterpret_cast<const char*>(data), size});
  return 0;
}
