#include "placement/roof_fit_bodies.h"

#include "geodata/polish_crs.h"
#include "placement/reconstructed_bodies.h"

namespace kl::placement {

void placeRoofFits(const buildings::lod2fit::Lod2Reconstruction& fits, int workingEpsg, const PlacementTransform& t,
                   double zOff, LayerResolver& layers, PlaceResult& result, BodyReport& report) {
    std::vector<ReconstructedItem> items;
    items.reserve(fits.buildings.size());
    for (const auto& fit : fits.buildings) {
        ReconstructedItem item;
        item.flaggedForReview = fit.needsReview;
        for (const auto& face : fit.mesh.faces) {
            Ring3 outline;
            for (const std::uint32_t v : face) outline.push_back(fit.mesh.vertices[v]);
            item.faces.push_back({std::move(outline), {}});
        }
        items.push_back(std::move(item));
    }
    const auto toProject = [&](geo::Point2d p) {
        return t.apply(geo::isPl2000Epsg(workingEpsg) ? geo::pl1992ToPl2000(p.x, p.y, workingEpsg) : p);
    };
    placeReconstructedBodies(ReconstructedKind::ReconstructedLod2, items, 0, toProject, zOff, fits.diagnostic, layers,
                             result, report);
}

}  // namespace kl::placement
