#include "placement/corridor_placement.h"

#include "placement/rebuilt_in_zone.h"

namespace kl::placement {
CorridorItems corridorItemsInZone(const import::CorridorBodies& bodies, int zoneEpsg) {
    return {reconstructedItemsInZone(bodies.bridges, zoneEpsg), reconstructedItemsInZone(bodies.roads, zoneEpsg), bodies.bridgeDiagnostic,
            bodies.roadDiagnostic};
}

void placeCorridorItems(const CorridorItems& items, const placement::PlacementTransform& t, double zOff,
                        placement::LayerResolver& layers, placement::PlaceResult& result,
                        placement::BodyReport& report) {
    const auto toProject = [&t](geo::Point2d p) { return t.apply(p); };
    placement::placeReconstructedBodies(placement::ReconstructedKind::Bridges, items.bridges, 0, toProject, zOff,
                                        items.bridgeDiagnostic, layers, result, report);
    placement::placeReconstructedBodies(placement::ReconstructedKind::Roads, items.roads, 0, toProject, zOff,
                                        items.roadDiagnostic, layers, result, report);
}

}  // namespace kl::placement
