#pragma once
// What a rebuilding stage made of the footprints, counted once for its
// summary warning and its diagnostic line.
#include <string>
#include <vector>

#include "buildings/reconstruction_result.h"

namespace kl::import {

struct RebuiltTally {
    int footprints = 0;
    int made = 0;     // with faces
    int flagged = 0;  // made, but a stand-in for the user to correct
    int missing = 0;  // no faces: not placed
};

RebuiltTally tallyRebuilt(const std::vector<buildings::ReconstructionResult>& results);

// "<prefix><made> <what> z <footprints> obrysow LOD1, do korekty <flagged>",
// then ", <missing> <whyMissing> (pominiete)" when some are missing, and ".".
std::string rebuiltSummary(const std::string& prefix, const std::string& what, const RebuiltTally& tally,
                           const std::string& whyMissing);

}  // namespace kl::import
