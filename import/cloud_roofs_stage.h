#pragma once
// "dachychmura": a flat roof on every LOD1 footprint from the LiDAR returns
// above it, measured from the cloud's own ground.
#include <vector>

#include "buildings/lod_building.h"
#include "import/elevation_stages.h"
#include "import/fetched_data.h"
#include "net/wfs_client.h"

namespace kl::import {

// One result per footprint, in their order; none when there are no
// footprints, when the cloud is empty in the frame or when cancelled
// (io.cancelled() then says so). workingZone: the project's PL-2000 EPSG code.
RebuiltLayer cloudRoofs(net::WfsClient& client, const std::vector<buildings::Lod1Building>& footprints,
                        const geo::Bbox& frame, int workingZone, const StageIo& io);

}  // namespace kl::import
