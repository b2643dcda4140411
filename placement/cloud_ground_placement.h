#pragma once
// The ground rebuilt from the LiDAR cloud: terrain meshes, the flat water
// surfaces and the mesh through the contours, each on the layer of its kind.
// Unlike the terrain model's meshes, a piece the host refuses is skipped and
// counted, not a reason to roll the import back: the cloud kinds are extras.
#include <vector>

#include "placement/layer_resolver.h"
#include "placement/place_result.h"
#include "placement/placement_transform.h"
#include "placement/terrain_mesh.h"
#include "terrain/contour.h"
#include "terrain/water_outlines.h"

namespace kl::placement {

struct CloudGroundPlacement {
    std::vector<MeshGrid> terrain;           // in the grid of the transform
    terrain::WaterSurface water;             // likewise
    std::vector<terrain::Contour> contours;  // likewise
    MeshCorners frame{};                     // the fetch frame in the same grid
    double baseHeight = 0.0;                 // height of the project's zero
};

// Counts "teren z chmury (Siatka)", "woda z chmury (Siatka)" and
// "poziomicechmura3d".
void placeCloudGround(const CloudGroundPlacement& input, const PlacementTransform& t, LayerResolver& layers,
                      PlaceResult& result);

}  // namespace kl::placement
