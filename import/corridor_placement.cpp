#include "import/corridor_placement.h"

#include "geodata/polish_crs.h"

namespace kl::import {
namespace {

std::vector<placement::ReconstructedItem> itemsInZone(const std::vector<buildings::ReconstructionResult>& bodies,
                                                      int zoneEpsg) {
    std::vector<placement::ReconstructedItem> items;
    items.reserve(bodies.size());
    for (const buildings::ReconstructionResult& body : bodies) {
        placement::ReconstructedItem item;
        item.flaggedForReview = body.fallback != 0;
        for (const buildings::Face& face : body.faces) {
            placement::BodyFace f;
            for (const buildings::Point3d& p : face) {
                const geo::Point2d q = geo::pl1992ToPl2000(p.x, p.y, zoneEpsg);
                f.outline.push_back({q.x, q.y, p.z});
            }
            item.faces.push_back(std::move(f));
        }
        items.push_back(std::move(item));
    }
    return items;
}

}  // namespace

CorridorItems corridorItemsInZone(const CorridorBodies& bodies, int zoneEpsg) {
    return {itemsInZone(bodies.bridges, zoneEpsg), itemsInZone(bodies.roads, zoneEpsg), bodies.bridgeDiagnostic,
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

}  // namespace kl::import
