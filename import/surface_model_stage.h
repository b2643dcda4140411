#pragma once
// "budynkindsm": a block on every LOD1 footprint from the national surface
// model (nMPT) over the terrain model (NMT) of the frame.
#include <vector>

#include "buildings/lod_building.h"
#include "import/elevation_stages.h"
#include "import/fetched_data.h"
#include "net/wfs_client.h"

namespace kl::import {

// terrain: the frame's NMT sheets, shared with the other terrain stages. One
// result per footprint, in their order; none when a model has no sheet here,
// when there are no footprints or when cancelled (io.cancelled() then says so).
RebuiltLayer surfaceModelBlocks(net::WfsClient& client, const std::vector<buildings::Lod1Building>& footprints,
                                const geo::Bbox& frame, const TerrainSheets& terrain, const StageIo& io);

}  // namespace kl::import
