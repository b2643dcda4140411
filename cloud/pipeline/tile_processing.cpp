#include "cloud/pipeline/tile_processing.h"

#include <optional>
#include <vector>

#include "cloud/las/las_reader.h"
#include "cloud/pipeline/tile_points.h"

namespace kl::cloud {

TileOutcome processTile(const std::string& path, int tileEpsg, CloudAccumulator& acc, unsigned threads) {
    TileOutcome out;
    // Declared before the reader: the reader's threads call the feeder until
    // the reader is gone.
    std::optional<TilePointFeeder> feeder;
    las::LasReader reader;
    if (auto st = reader.open(path, threads); !st) return {TileOutcome::Unusable, st.message, 0};
    const auto& h = reader.header();
    if (h.recordLength < 20 || h.pointCount == 0)
        return {TileOutcome::Unusable, "Kafel bez punktow: " + path, 0};

    TileLayout layout;
    layout.pointFormat = h.pointFormat;
    layout.recordLength = h.recordLength;
    layout.scale = h.scale;
    layout.offset = h.offset;
    layout.epsg = tileEpsg;
    reader.decodeOnly(fieldsRead(layout));
    feeder.emplace(acc, layout);
    // Crop and zone shift run on the decoding threads; only keeping the points
    // (voxels, budget, colour) waits for the batches in file order.
    reader.workOnBatches([&feeder](const uint8_t* records, uint64_t count, std::any& result) {
        if (!result.has_value()) result.emplace<TileBatch>();
        feeder->prepare(records, count, std::any_cast<TileBatch>(&result));
    });
    while (true) {
        const uint8_t* records = nullptr;
        uint64_t count = 0;
        if (auto st = reader.next(&records, &count); !st) {
            // A tile that breaks half way is left out whole, so the cloud
            // never holds a torn sheet.
            acc.dropTile();
            out.kind = TileOutcome::Unusable;
            out.message = st.message;
            return out;
        }
        if (count == 0) break;
        out.points += count;
        if (!feeder->merge(std::any_cast<const TileBatch&>(reader.batchResult()))) {
            feeder->finish();
            out.kind = TileOutcome::OverBudget;
            return out;
        }
    }
    feeder->finish();
    acc.commitTile();
    return out;
}

}  // namespace kl::cloud
