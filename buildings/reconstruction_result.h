#pragma once
// What rebuilding one building (or deck, or road) from elevation data gives:
// its faces and how far the data carried it.
#include <vector>

#include "buildings/lod_building.h"

namespace kl::buildings {

// A closed planar (or nearly planar) polygon, open: the first point is not
// repeated. PL-1992 metres, heights above sea level.
using Face = std::vector<Point3d>;

struct ReconstructionResult {
    std::vector<Face> faces;
    // 1 when the data did not pass the acceptance test (or was missing) and a
    // simplified shape stands in: the user should look at it.
    int fallback = 0;
    // Share of the footprint found raised above the ground, 0..1.
    double coverage = 0;
};

}  // namespace kl::buildings
