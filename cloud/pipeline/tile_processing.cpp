#include "cloud/pipeline/tile_processing.h"

#include "cloud/las/las_reader.h"
#include "cloud/pipeline/tile_points.h"

namespace kl::cloud {

TileOutcome processTile(const std::string& path, int tileEpsg, CloudAccumulator& acc, unsigned threads) {
    TileOutcome out;
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
    TilePointFeeder feeder(acc, layout);
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
        if (!feeder.feed(records, count)) {
            feeder.finish();
            out.kind = TileOutcome::OverBudget;
            return out;
        }
    }
    feeder.finish();
    acc.commitTile();
    return out;
}

}  // namespace kl::cloud
