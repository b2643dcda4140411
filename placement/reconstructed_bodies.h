#pragma once
// Bodies rebuilt from the point cloud and the surface models (roofs,
// buildings, bridges, roads), each kind in its own step with its surface,
// layer, report line and diagnostic file. The producers of the bodies only
// hand over their items.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "placement/building_bodies.h"
#include "placement/layer_resolver.h"
#include "placement/morph_builder.h"
#include "placement/surface_materials.h"

namespace kl::placement {

struct ReconstructedItem {
    std::vector<BodyFace> faces;  // source metres; heights above sea level
    bool flaggedForReview = false;
};

enum class ReconstructedKind { CloudRoofs, SurfaceModelBuildings, ReconstructedLod2, Bridges, Roads };

struct ReconstructedStep {
    std::string_view countKey;
    std::string_view fixedLayer;  // empty: the layer of `type`
    geo::DataType type;
    std::string_view surface;
    SurfaceColour colour;
    std::string_view reportPrefix;
    std::string_view flaggedText;
    std::string_view diagnosticFile;
    std::string_view firstItemText;  // empty: the file gets no count line
    bool onePerLod1Block;            // items come in the order of the LOD1 blocks they rebuild
};

const ReconstructedStep& reconstructedStep(ReconstructedKind kind);

// Places the items of one kind. toProject maps a source point into the
// project; zOff is subtracted from heights; lod1Blocks is the number of LOD1
// blocks fetched. A kind that rebuilds LOD1 blocks one by one and comes with
// a different number of items is not placed, and says so.
void placeReconstructedBodies(ReconstructedKind kind, const std::vector<ReconstructedItem>& items, size_t lod1Blocks,
                              const std::function<geo::Point2d(geo::Point2d)>& toProject, double zOff,
                              const std::string& fetchDiagnostic, LayerResolver& layers, PlaceResult& result,
                              BodyReport& report);

}  // namespace kl::placement
