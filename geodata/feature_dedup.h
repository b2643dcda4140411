#pragma once

#include <cstdint>
#include <vector>

#include "geodata/gis_feature.h"

namespace kl::geo {

// Hash of the geometry alone (polygons, lines, point), stable across runs.
std::uint64_t geometryHash(const GisFeature& feature) noexcept;

// Keeps the first of features that repeat, as tiles of one fetch overlap at
// their edges: the same "_typ" and "gml_id", or, without an id, the same
// geometry and attributes. Order is kept.
std::vector<GisFeature> deduplicateFeatures(std::vector<GisFeature> features);

}  // namespace kl::geo
