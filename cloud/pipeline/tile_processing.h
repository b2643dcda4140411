#pragma once
#include <functional>
#include <optional>
#include <string>

#include "cloud/las/las_reader.h"
#include "cloud/pipeline/cloud_accumulator.h"
#include "cloud/pipeline/tile_points.h"

namespace kl::cloud {

struct TileOutcome {
    enum Kind { Processed, Unusable, OverBudget } kind = Processed;
    std::string message;  // why the tile could not be used
    uint64_t points = 0;  // records read
};

// One downloaded LAS/LAZ tile, opened and decoding on the reader's threads
// from the moment it is made: crop and zone shift need nothing of the tiles
// before it, so it may be made while an earlier tile is still being read.
// tileEpsg is the tile's horizontal system from the index.
class TileDecoding {
public:
    TileDecoding(const std::string& path, int tileEpsg, CloudAccumulator& acc, unsigned threads);
    TileDecoding(const TileDecoding&) = delete;
    TileDecoding& operator=(const TileDecoding&) = delete;

    // Feeds the points, in file order, into the accumulator (once). nearlyDone
    // is called once each decoding thread has at most one batch left to take,
    // while the last ones still decode: the moment to start the next tile.
    TileOutcome read(const std::function<void()>& nearlyDone = {});

private:
    CloudAccumulator& acc_;
    unsigned threads_;
    TileOutcome opened_;
    // Declared before the reader: the reader's threads call the feeder until
    // the reader is gone.
    std::optional<TilePointFeeder> feeder_;
    las::LasReader reader_;
};

// Reads one downloaded tile and feeds its points, in file order, into the accumulator.
TileOutcome processTile(const std::string& path, int tileEpsg, CloudAccumulator& acc, unsigned threads);

}  // namespace kl::cloud
