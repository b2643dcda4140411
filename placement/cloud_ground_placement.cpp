#include "placement/cloud_ground_placement.h"

namespace kl::placement {
namespace {

// The layer of a kind, or kInvalidLayer with the import's error set.
int32_t layerOf(geo::DataType type, LayerResolver& layers, PlaceResult& result) {
    const int32_t layer = layers.layerForType(type);
    if (layer == kInvalidLayer) result.error = missingLayerMessage(type);
    return layer;
}

void count(const MeshAttempt& attempt, const char* key, PlaceResult& result) {
    if (attempt.placed()) ++result.counts[key];
    else if (attempt.made) ++result.skipped;
}

}  // namespace

void placeCloudGround(const CloudGroundPlacement& in, const PlacementTransform& t, LayerResolver& layers,
                      PlaceResult& result) {
    if (!in.terrain.empty()) {
        const int32_t layer = layerOf(geo::DataType::TerrainMeshFromCloud, layers, result);
        if (layer == kInvalidLayer) return;
        for (const MeshGrid& tile : in.terrain)
            count(createMesh(tile, t, in.baseHeight, layer), "teren z chmury (Siatka)", result);
    }
    if (!in.water.outlines.empty()) {
        const int32_t layer = layerOf(geo::DataType::WaterFromCloud, layers, result);
        if (layer == kInvalidLayer) return;
        for (const terrain::Ring& ring : in.water.outlines)
            count(createFlatMesh(ring, in.water.level, t, in.baseHeight, layer), "woda z chmury (Siatka)", result);
    }
    if (in.contours.empty()) return;
    const int32_t layer = layerOf(geo::DataType::Contours3dFromCloud, layers, result);
    if (layer == kInvalidLayer) return;
    const MeshAttempt attempt = createMeshFromContours(in.contours, in.frame, t, in.baseHeight, layer);
    if (attempt.placed()) {
        result.counts["poziomicechmura3d"] = 1;
    } else if (!attempt.made) {
        result.warnings.push_back(
            "Poziomice z chmury: za malo warstwic albo zbyt waski kadr na Siatke 3D - nie utworzono jej.");
    } else {
        ++result.skipped;
        result.warnings.push_back("Poziomice z chmury: nie udalo sie utworzyc Siatki 3D.");
    }
}

}  // namespace kl::placement
