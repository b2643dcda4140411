#pragma once
#include <functional>
#include <optional>
#include <string_view>

#include "geodata/gis_feature.h"
#include "placement/element_makers.h"
#include "placement/placement_transform.h"

namespace kl::placement {

// Colour of a general-plan zone symbol: the first table code that stands in
// the upper-cased symbol without a capital letter right before or after it.
std::optional<Rgb> zoneColour(std::string_view symbol);

// Draws one zoning-plan feature (local plan: type 2, general plan: type 3)
// with its fills, hatches or outline and its designation label. Returns the
// first failing host code, or 0. widen() receives every transformed vertex.
KlErr drawZoningFeature(const geo::GisFeature& feature, const PlacementTransform& t, int32_t layer,
                        FillPatterns& fills, const std::function<void(geo::Point2d)>& widen);

}  // namespace kl::placement
