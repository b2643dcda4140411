#pragma once
#include <string>

#include "cloud/pipeline/cloud_accumulator.h"

namespace kl::cloud {

struct TileOutcome {
    enum Kind { Processed, Unusable, OverBudget } kind = Processed;
    std::string message;  // why the tile could not be used
    uint64_t points = 0;  // records read
};

// Reads one downloaded LAS/LAZ tile and feeds its points, in file order, into
// the accumulator. tileEpsg is the tile's horizontal system from the index.
TileOutcome processTile(const std::string& path, int tileEpsg, CloudAccumulator& acc, unsigned threads);

}  // namespace kl::cloud
