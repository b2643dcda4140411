#include "cloud/pipeline/tile_points.h"

#include <algorithm>
#include <cstring>

namespace kl::cloud {
namespace {

template <typename T>
T loadLe(const uint8_t* p) {
    T v;
    std::memcpy(&v, p, sizeof v);  // LAS is little-endian, like every target of the add-on
    return v;
}

size_t voxelHash(const CloudAccumulator::Voxel& v) {
    uint64_t h = static_cast<uint64_t>(v[0]) * 0x9E3779B97F4A7C15ULL;
    h ^= static_cast<uint64_t>(v[1]) * 0xC2B2AE3D27D4EB4FULL;
    h ^= static_cast<uint64_t>(v[2]) * 0x165667B19E3779F9ULL;
    return static_cast<size_t>(h ^ (h >> 29));
}

// A point whose voxel came earlier in the same batch is dropped in file order
// whatever happened to that voxel before, so the decoding thread drops it and
// the merge looks up only the voxels new to the batch. slots holds 1 + the
// index in voxels of each voxel seen.
bool firstOfItsVoxel(const CloudAccumulator::Voxel& v, std::vector<CloudAccumulator::Voxel>& voxels,
                     std::vector<uint32_t>& slots) {
    const size_t mask = slots.size() - 1;
    for (size_t at = voxelHash(v) & mask;; at = (at + 1) & mask) {
        if (slots[at] == 0) {
            voxels.push_back(v);
            slots[at] = static_cast<uint32_t>(voxels.size());
            return true;
        }
        if (voxels[slots[at] - 1] == v) return false;
    }
}

}  // namespace

int colourOffset(uint8_t f, uint16_t recordLength) {
    int at = -1;
    if (f == 2) at = 20;
    else if (f == 3 || f == 5) at = 28;
    else if (f == 7 || f == 8) at = 30;
    if (at < 0 || at + 6 > recordLength) return -1;
    return at;
}

las::RecordFields fieldsRead(const TileLayout& layout) {
    const bool colour = colourOffset(layout.pointFormat, layout.recordLength) >= 0;
    return las::RecordFields::positionOnly().with(colour ? las::RecordField::Colour : las::RecordField::Intensity);
}

TilePointFeeder::TilePointFeeder(CloudAccumulator& acc, const TileLayout& layout)
    : acc_(acc), layout_(layout), colour_(colourOffset(layout.pointFormat, layout.recordLength)),
      toPl1992_(acc.frame(), layout.epsg) {}

bool TilePointFeeder::feed(const uint8_t* records, size_t count) {
    prepare(records, count, &batch_);
    return merge(batch_);
}

void TilePointFeeder::prepare(const uint8_t* records, size_t count, TileBatch* out) const {
    out->points.clear();
    out->raw.clear();
    out->voxels.clear();
    out->maxRaw = 0;
    out->bounds = {};
    if (layout_.recordLength < 20) return;
    const auto& sc = layout_.scale;
    const auto& of = layout_.offset;
    const bool thinned = acc_.thins();
    if (thinned) {
        size_t room = 1024;
        while (room < 2 * count) room *= 2;
        out->voxelSlots.assign(room, 0);
    }
    uint16_t maxRaw = 0;
    for (size_t n = 0; n < count; ++n) {
        const uint8_t* rec = records + n * layout_.recordLength;
        double x = loadLe<int32_t>(rec) * sc[0] + of[0];
        double y = loadLe<int32_t>(rec + 4) * sc[1] + of[1];
        const double z = loadLe<int32_t>(rec + 8) * sc[2] + of[2];
        if (!toPl1992_.apply(x, y)) continue;
        CloudAccumulator::Placed at;
        if (!acc_.place(x, y, z, &at)) continue;
        if (thinned && !firstOfItsVoxel({at.i, at.j, at.k}, out->voxels, out->voxelSlots)) continue;
        out->points.push_back({at.x, at.y, at.z, 0, 0, 0});
        out->bounds.add(out->points.back());
        std::array<uint16_t, 3> raw;
        if (colour_ >= 0) {
            raw = {loadLe<uint16_t>(rec + colour_), loadLe<uint16_t>(rec + colour_ + 2), loadLe<uint16_t>(rec + colour_ + 4)};
        } else {
            const auto intensity = loadLe<uint16_t>(rec + 12);
            raw = {intensity, intensity, intensity};
        }
        maxRaw = std::max({maxRaw, raw[0], raw[1], raw[2]});
        out->raw.push_back(raw);
    }
    out->maxRaw = maxRaw;
}

bool TilePointFeeder::merge(const TileBatch& batch) {
    const size_t count = batch.points.size();
    if (!acc_.thins()) {
        // Every point of the batch is kept, so it goes over in one piece.
        const size_t kept = acc_.keepAll(batch.points.data(), count, batch.bounds);
        raw_.insert(raw_.end(), batch.raw.begin(), batch.raw.begin() + static_cast<std::ptrdiff_t>(kept));
        if (kept == count) {
            maxRaw_ = std::max(maxRaw_, batch.maxRaw);
            return true;
        }
        for (size_t i = 0; i < kept; ++i) maxRaw_ = std::max({maxRaw_, batch.raw[i][0], batch.raw[i][1], batch.raw[i][2]});
        return false;
    }
    for (size_t i = 0; i < count; ++i) {
        const auto added = acc_.keep(batch.points[i], batch.voxels[i]);
        if (added == CloudAccumulator::Add::OverBudget) return false;
        if (added == CloudAccumulator::Add::Kept) {
            const auto& raw = batch.raw[i];
            raw_.push_back(raw);
            maxRaw_ = std::max({maxRaw_, raw[0], raw[1], raw[2]});
        }
    }
    return true;
}

void TilePointFeeder::expectPoints(uint64_t count) {
    raw_.reserve(static_cast<size_t>(std::min<uint64_t>(count, acc_.room())));
}

void TilePointFeeder::finish() {
    const int shift = maxRaw_ > 255 ? 8 : 0;
    auto& pts = acc_.points();
    // Every point the tile kept has its raw colour, and none came after them.
    const size_t first = pts.size() - raw_.size();
    for (size_t i = 0; i < raw_.size(); ++i) {
        auto& p = pts[first + i];
        p.r = static_cast<uint8_t>(raw_[i][0] >> shift);
        p.g = static_cast<uint8_t>(raw_[i][1] >> shift);
        p.b = static_cast<uint8_t>(raw_[i][2] >> shift);
    }
    raw_.clear();
    maxRaw_ = 0;
}

}  // namespace kl::cloud
