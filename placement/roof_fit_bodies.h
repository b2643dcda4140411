#pragma once
// The buildings rebuilt from the LiDAR cloud with fitted roofs, placed as
// morphs: each mesh face a body face, flagged fits in the review material.
#include <string>

#include "buildings/lod2fit/roof_model.h"
#include "placement/building_bodies.h"
#include "placement/layer_resolver.h"
#include "placement/placement_transform.h"

namespace kl::placement {

// The fits are in PL-1992; workingEpsg is the PL-2000 zone the transform
// expects; zOff is subtracted from heights.
void placeRoofFits(const buildings::lod2fit::Lod2Reconstruction& fits, int workingEpsg, const PlacementTransform& t,
                   double zOff, LayerResolver& layers, PlaceResult& result, BodyReport& report);

}  // namespace kl::placement
