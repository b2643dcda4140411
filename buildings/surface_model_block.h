#pragma once
// A building block on a footprint from the surface models: a flat roof at
// the median surface height inside the footprint, walls down to the terrain.
#include "buildings/reconstruction_result.h"
#include "buildings/surface_model_pair.h"
#include "geodata/gis_feature.h"

namespace kl::buildings {

struct BlockParams {
    double step = 0.5;           // lattice pitch inside the footprint
    double minRaise = 1.0;       // a sample this far above the terrain is covered
    double minCoverage = 0.35;   // less covered is flagged
    double minWallHeight = 1.0;  // a wall lower than this at both ends is left out
};

// Faces: the roof first, then one wall per edge that is long enough, high
// enough and has terrain at both ends. No face (fallback 1) when the surface
// model has no height inside the footprint nor at its middle, or when the
// footprint bounds nothing. fallback 1 also when too little is covered.
ReconstructionResult blockFromSurfaceModel(const geo::Ring& footprint, const SurfaceModelPair& models,
                                           const BlockParams& params);

}  // namespace kl::buildings
