#pragma once
// A flat roof on a building footprint from the LiDAR returns above it.
#include "buildings/cloud_point_grid.h"
#include "buildings/ground_model.h"
#include "buildings/reconstruction_result.h"
#include "geodata/gis_feature.h"

namespace kl::buildings {

struct RoofFromCloudParams {
    double minCoverage = 0.6;           // share of the footprint's cells that must hold a roof return
    int minPoints = 30;                 // fewer roof returns is a guess
    double minHeightAboveGround = 3.0;  // a return this high above the ground counts as roof
    double fallbackHeight = 3.0;        // the stand-in roof above the ground when no return was raised
    double cellSize = 1.0;              // coverage cells
};

// The ground model is meant to be built with this cell.
inline constexpr double kRoofGroundCell = 2.0;

// One face: the footprint at the median roof height (fallback 0), or, when
// too few returns or too little of the footprint is covered, at the highest
// roof return or 3 m above the ground (fallback 1). Ground and noise returns
// are never roof. A return with no ground of its own near it is measured from
// the lowest ground around the building; with no ground there either the
// height cannot be known and the result has no face (fallback 1). A footprint
// that bounds nothing has no face either.
ReconstructionResult roofFromCloud(const geo::Ring& footprint, const CloudPointGrid& cloud, const GroundModel& ground,
                                   const RoofFromCloudParams& params);

}  // namespace kl::buildings
