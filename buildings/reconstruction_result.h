#pragma once
// A body rebuilt from elevation data inside a footprint or along a
// centreline (a roof, a block, a bridge deck, a road surface).
#include <vector>

#include "buildings/lod_building.h"

namespace kl::buildings {

// A closed, (near-)planar polygon given open; PL-1992 metres, heights above sea level.
using Face = std::vector<Point3d>;

struct ReconstructionResult {
    std::vector<Face> faces;
    // 1 when the acceptance test failed or no data was found and a simplified
    // shape stands in: the body is to be reviewed.
    int fallback = 0;
    // Share of the sampled positions raised above the ground, 0..1.
    double coverage = 0;
};

}  // namespace kl::buildings
