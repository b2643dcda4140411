#include "import/rebuilt_tally.h"

namespace kl::import {

RebuiltTally tallyRebuilt(const std::vector<buildings::ReconstructionResult>& results) {
    RebuiltTally t;
    t.footprints = static_cast<int>(results.size());
    for (const auto& r : results) {
        if (r.faces.empty()) continue;
        ++t.made;
        t.flagged += r.fallback;
    }
    t.missing = t.footprints - t.made;
    return t;
}

std::string rebuiltSummary(const std::string& prefix, const std::string& what, const RebuiltTally& tally,
                           const std::string& whyMissing) {
    std::string text = prefix + std::to_string(tally.made) + " " + what + " z " + std::to_string(tally.footprints) +
                       " obrysow LOD1, do korekty " + std::to_string(tally.flagged);
    if (tally.missing > 0) text += ", " + std::to_string(tally.missing) + " " + whyMissing + " (pominiete)";
    return text + ".";
}

}  // namespace kl::import
