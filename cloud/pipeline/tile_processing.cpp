#include "cloud/pipeline/tile_processing.h"

#include <any>

namespace kl::cloud {

TileDecoding::TileDecoding(const std::string& path, int tileEpsg, CloudAccumulator& acc, unsigned threads)
    : acc_(acc), threads_(threads) {
    if (auto st = reader_.open(path, threads); !st) {
        opened_ = {TileOutcome::Unusable, st.message, 0};
        return;
    }
    const auto& h = reader_.header();
    if (h.recordLength < 20 || h.pointCount == 0) {
        opened_ = {TileOutcome::Unusable, "Kafel bez punktow: " + path, 0};
        return;
    }
    TileLayout layout;
    layout.pointFormat = h.pointFormat;
    layout.recordLength = h.recordLength;
    layout.scale = h.scale;
    layout.offset = h.offset;
    layout.epsg = tileEpsg;
    reader_.decodeOnly(fieldsRead(layout));
    feeder_.emplace(acc, layout);
    feeder_->expectPoints(h.pointCount);
    // Crop and zone shift run on the decoding threads; only keeping the points
    // (voxels, budget, colour) waits for the batches in file order.
    reader_.workOnBatches([this](const uint8_t* records, uint64_t count, std::any& result) {
        if (!result.has_value()) result.emplace<TileBatch>();
        feeder_->prepare(records, count, std::any_cast<TileBatch>(&result));
    });
    reader_.start();
}

TileOutcome TileDecoding::read(const std::function<void()>& nearlyDone) {
    if (!feeder_) return opened_;
    TileOutcome out;
    bool told = !nearlyDone;
    while (true) {
        const uint8_t* records = nullptr;
        uint64_t count = 0;
        if (auto st = reader_.next(&records, &count); !st) {
            // A tile that breaks half way is left out whole, so the cloud
            // never holds a torn sheet.
            acc_.dropTile();
            out.kind = TileOutcome::Unusable;
            out.message = st.message;
            return out;
        }
        if (count == 0) break;
        out.points += count;
        if (!feeder_->merge(std::any_cast<const TileBatch&>(reader_.batchResult()))) {
            feeder_->finish();
            out.kind = TileOutcome::OverBudget;
            return out;
        }
        if (!told && reader_.batchesNotStarted() <= threads_) {
            told = true;
            nearlyDone();
        }
    }
    feeder_->finish();
    acc_.commitTile();
    return out;
}

TileOutcome processTile(const std::string& path, int tileEpsg, CloudAccumulator& acc, unsigned threads) {
    TileDecoding tile(path, tileEpsg, acc, threads);
    return tile.read();
}

}  // namespace kl::cloud
