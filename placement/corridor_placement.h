#pragma once
// The fetched bridge decks and road surfaces as bodies of the placement:
// moved into the working zone, a simplified stand-in flagged for review.
#include <string>
#include <vector>

#include "import/osm_corridor_stage.h"
#include "placement/building_bodies.h"
#include "placement/layer_resolver.h"
#include "placement/placement_transform.h"
#include "placement/reconstructed_bodies.h"

namespace kl::placement {

struct CorridorItems {
    std::vector<placement::ReconstructedItem> bridges;
    std::vector<placement::ReconstructedItem> roads;
    std::string bridgeDiagnostic;
    std::string roadDiagnostic;
};

CorridorItems corridorItemsInZone(const import::CorridorBodies& bodies, int zoneEpsg);

// zOff: the terrain mesh's base height, so that roads lie on the terrain.
void placeCorridorItems(const CorridorItems& items, const placement::PlacementTransform& t, double zOff,
                        placement::LayerResolver& layers, placement::PlaceResult& result,
                        placement::BodyReport& report);

}  // namespace kl::placement
