#pragma once
// A bridge deck or road surface: the elevation model's heights inside a
// corridor as triangles, or a flat stand-in when the model does not show it.
#include <functional>
#include <optional>

#include "buildings/reconstruction_result.h"
#include "buildings/surface_model_pair.h"
#include "geodata/geometry.h"
#include "geodata/gis_feature.h"

namespace kl::buildings {

struct SurfaceParams {
    double step = 0.5;       // cell size, metres
    double minRaise = 1.0;   // a cell whose centre stands this much above the terrain is covered
    double minCoverage = 0.35;
    bool useTerrain = false;  // drape on the terrain model instead of the surface model
    bool clip = false;
    geo::Bbox clipBox;
};

// The ring's box (clipped when asked) cut into cells of `step`; a cell whose
// four corners lie inside the ring and have heights gives two triangles.
// Accepted when there is a triangle and enough cells are covered; otherwise
// one flat face at the median corner height, fallback 1. Only the cells
// between the ring's edges are visited, row by row, so a long diagonal road
// costs its own area, not its bounding box's.
ReconstructionResult surfaceInRing(const geo::Ring& ring, const SurfaceModelPair& models, const SurfaceParams& params);

}  // namespace kl::buildings
