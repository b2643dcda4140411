#pragma once
#include <vector>

#include "geodata/gis_feature.h"
#include "placement/layer_resolver.h"
#include "placement/place_result.h"
#include "placement/placement_transform.h"

namespace kl::placement {

// Draws parcels, buildings, zoning plans and utility lines on their layers.
// A feature whose drawing fails is skipped; a layer that cannot be had sets
// the error and stops, so the caller rolls the whole import back.
PlaceResult placeVectorFeatures(const std::vector<geo::GisFeature>& features, const PlacementTransform& t,
                                LayerResolver& layers);

}  // namespace kl::placement
