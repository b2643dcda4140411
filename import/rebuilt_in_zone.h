#pragma once
// The shapes a fetch rebuilt on the LOD1 footprints, made ready for their
// placement steps: moved into the working zone, a stand-in shape flagged for
// the user to correct.
#include <vector>

#include "import/fetched_data.h"
#include "import/place_command.h"

namespace kl::import {

// The non-empty rebuilt layers in their placement order (roofs from the
// cloud, then blocks from the surface models).
std::vector<RebuiltBodies> rebuiltInZone(const FetchedData& fetched, int zoneEpsg);

}  // namespace kl::import
