#pragma once
// The shapes a fetch rebuilt on the LOD1 footprints, made ready for their
// placement steps: moved into the working zone, a stand-in shape flagged for
// the user to correct.
#include <vector>

#include "import/fetched_data.h"
#include "placement/place_command.h"

namespace kl::placement {

// Rebuilt bodies moved from PL-1992 into the working zone; a stand-in
// (fallback) is flagged for the user to review.
std::vector<ReconstructedItem> reconstructedItemsInZone(const std::vector<buildings::ReconstructionResult>& results,
                                                        int zoneEpsg);

// The non-empty rebuilt layers in their placement order (roofs from the
// cloud, then blocks from the surface models).
std::vector<RebuiltBodies> rebuiltInZone(const import::FetchedData& fetched, int zoneEpsg);

}  // namespace kl::placement
