#pragma once
#include <array>
#include <cstdint>
#include <vector>

#include "cloud/las/record_fields.h"
#include "cloud/pipeline/cloud_accumulator.h"
#include "cloud/pipeline/tile_to_pl1992.h"

namespace kl::cloud {

// What the pipeline needs to know of one tile's point records.
struct TileLayout {
    uint8_t pointFormat = 0;  // 0..10, compression bits already masked
    uint16_t recordLength = 0;
    std::array<double, 3> scale{1, 1, 1};
    std::array<double, 3> offset{0, 0, 0};
    int epsg = 2180;  // horizontal system of the tile
};

// Offset of the 16-bit red, green, blue values in a record; -1 when the
// format has no colour or the record is too short to hold it.
int colourOffset(uint8_t pointFormat, uint16_t recordLength);

// The record fields the feeder reads besides the position: the colour, or the
// intensity standing in for it.
las::RecordFields fieldsRead(const TileLayout& layout);

// What a decoding thread makes of one batch: the points that lie in the frame
// (in a thinned cloud only the batch's first of each voxel), in file order,
// already in their final place, with their colour as stored.
// The colour itself is set when the tile is finished.
struct TileBatch {
    std::vector<CloudPoint> points;
    std::vector<std::array<uint16_t, 3>> raw;        // one per point
    std::vector<CloudAccumulator::Voxel> voxels;     // one per point, when the cloud is thinned
    uint16_t maxRaw = 0;                             // over all of raw
    PointBounds bounds;                              // of all the points
    std::vector<uint32_t> voxelSlots;                // scratch: voxels seen in the batch
};

// Feeds the records of one tile, in file order, into the accumulator.
// Colour comes from the RGB fields (or the intensity when there is none).
// Most files store 16-bit colour; some store 8-bit values in the 16-bit
// fields, which would come out black if the high byte were taken, so the
// scale is decided per tile when the tile is finished.
class TilePointFeeder {
public:
    TilePointFeeder(CloudAccumulator& acc, const TileLayout& layout);

    // False when the cloud went over its budget; the feeder stops there.
    bool feed(const uint8_t* records, size_t count);

    // feed in two steps. prepare only reads the feeder and the accumulator, so
    // the decoding threads prepare their batches at once; merge then takes the
    // batches in file order, which keeps the cloud the same whatever the threads.
    void prepare(const uint8_t* records, size_t count, TileBatch* out) const;
    bool merge(const TileBatch& batch);
    // Sets the colours of the points this tile added: the last ones of the
    // cloud, so a feeder may be made while an earlier tile is still merged.
    void finish();
    // Room for the raw colours of up to count points (the tile's own count,
    // bounded by what the cloud still takes): growing them batch by batch
    // moved and first-touched them over and over on the merging thread.
    void expectPoints(uint64_t count);

private:
    CloudAccumulator& acc_;
    TileLayout layout_;
    int colour_;
    TileToPl1992 toPl1992_;
    uint16_t maxRaw_ = 0;
    std::vector<std::array<uint16_t, 3>> raw_;
    TileBatch batch_;
};

}  // namespace kl::cloud
