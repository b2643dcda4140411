#include "placement/rebuilt_in_zone.h"

#include "geodata/polish_crs.h"

namespace kl::placement {

std::vector<ReconstructedItem> reconstructedItemsInZone(const std::vector<buildings::ReconstructionResult>& results,
                                                      int zoneEpsg) {
    std::vector<placement::ReconstructedItem> items;
    items.reserve(results.size());
    for (const buildings::ReconstructionResult& r : results) {
        placement::ReconstructedItem item;
        item.flaggedForReview = r.fallback != 0;
        for (const buildings::Face& face : r.faces) {
            placement::Ring3 outline;
            outline.reserve(face.size());
            for (const buildings::Point3d& p : face) {
                const geo::Point2d q = geo::pl1992ToPl2000(p.x, p.y, zoneEpsg);
                outline.push_back({q.x, q.y, p.z});
            }
            item.faces.push_back({std::move(outline), {}});
        }
        items.push_back(std::move(item));
    }
    return items;
}

std::vector<RebuiltBodies> rebuiltInZone(const import::FetchedData& fetched, int zoneEpsg) {
    std::vector<RebuiltBodies> out;
    const struct {
        placement::ReconstructedKind kind;
        const import::RebuiltLayer& layer;
    } layers[] = {{placement::ReconstructedKind::CloudRoofs, fetched.cloudRoofs},
                  {placement::ReconstructedKind::SurfaceModelBuildings, fetched.surfaceModelBlocks}};
    for (const auto& l : layers)
        if (!l.layer.items.empty()) out.push_back({l.kind, reconstructedItemsInZone(l.layer.items, zoneEpsg), l.layer.diagnostic});
    return out;
}

}  // namespace kl::placement
