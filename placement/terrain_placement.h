#pragma once
// The ground of an import: a mesh per terrain tile, then the contours as
// drawn lines with height labels and as a mesh through level lines.
#include <vector>

#include "placement/layer_resolver.h"
#include "placement/place_result.h"
#include "placement/placement_transform.h"
#include "placement/terrain_mesh.h"
#include "terrain/contour.h"

namespace kl::placement {

// One mesh per tile on the terrain layer, counted under "teren (Siatka)". A
// tile the host refuses sets the error, so the whole import is rolled back:
// a ground with a hole in it must not pass for the site.
void placeTerrainMeshes(const std::vector<MeshGrid>& tiles, const PlacementTransform& t, double baseHeight,
                        LayerResolver& layers, PlaceResult& result);

struct ContourPlacement {
    std::vector<terrain::Contour> contours;  // in the grid of the transform
    MeshCorners frame{};                     // the fetch frame in the same grid
    bool lines = false;                      // "poziomice2d" selected
    bool mesh = false;                       // "poziomice3d" selected
    bool smooth = false;                     // round the drawn lines; the mesh keeps the traced ones
    double baseHeight = 0.0;                 // of the mesh
};

// Drawn contours (pen 2 for index contours) and upright labels on the 2D
// contour layer, then the mesh on the 3D one. A contour or label the host
// refuses is skipped; a mesh that was not made is said in a warning.
void placeContours(const ContourPlacement& input, const PlacementTransform& t, LayerResolver& layers,
                   PlaceResult& result);

}  // namespace kl::placement
