#include "cloud/pipeline/voxel_set.h"

#include <algorithm>

namespace kl::cloud {
namespace {

constexpr int64_t kHalfXY = int64_t{1} << 20;  // 21 bits for i and j
constexpr int64_t kHalfZ = int64_t{1} << 21;   // 22 bits for k

uint64_t mix(uint64_t x) {
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdULL;
    x ^= x >> 33;
    x *= 0xc4ceb9fe1a85ec53ULL;
    x ^= x >> 33;
    return x;
}

}  // namespace

size_t VoxelSet::TripleHash::operator()(const std::vector<int64_t>& v) const noexcept {
    uint64_t h = 0;
    for (auto x : v) h = mix(h ^ static_cast<uint64_t>(x));
    return static_cast<size_t>(h);
}

VoxelSet::VoxelSet() : slots_(1024, 0), mask_(1023) {}

void VoxelSet::place(uint64_t key) {
    size_t at = static_cast<size_t>(mix(key)) & mask_;
    while (slots_[at]) at = (at + 1) & mask_;
    slots_[at] = key;
}

void VoxelSet::grow() {
    std::vector<uint64_t> old;
    old.swap(slots_);
    slots_.assign(old.size() * 2, 0);
    mask_ = slots_.size() - 1;
    for (uint64_t key : old)
        if (key) place(key);
}

void VoxelSet::commit() {
    newKeys_.clear();
    newOutliers_.clear();
}

void VoxelSet::rollback() {
    for (const auto& key : newOutliers_) outliers_.erase(key);
    if (!newKeys_.empty()) {
        // Open addressing cannot simply blank a slot (later keys of its probe
        // run would get lost), so the table is rebuilt without the new keys.
        // A broken tile is rare; the rebuild costs one pass over the table.
        std::sort(newKeys_.begin(), newKeys_.end());
        std::vector<uint64_t> old;
        old.swap(slots_);
        slots_.assign(old.size(), 0);
        for (uint64_t key : old)
            if (key && !std::binary_search(newKeys_.begin(), newKeys_.end(), key)) place(key);
        count_ -= newKeys_.size();
    }
    commit();
}

bool VoxelSet::insert(int64_t i, int64_t j, int64_t k) {
    if (i < -kHalfXY || i >= kHalfXY || j < -kHalfXY || j >= kHalfXY || k < -kHalfZ || k >= kHalfZ - 1) {
        if (!outliers_.insert({i, j, k}).second) return false;
        newOutliers_.push_back({i, j, k});
        return true;
    }
    const uint64_t packed = (static_cast<uint64_t>(i + kHalfXY) << 43) | (static_cast<uint64_t>(j + kHalfXY) << 22) |
                            static_cast<uint64_t>(k + kHalfZ);
    const uint64_t key = packed + 1;
    size_t at = static_cast<size_t>(mix(key)) & mask_;
    while (slots_[at]) {
        if (slots_[at] == key) return false;
        at = (at + 1) & mask_;
    }
    slots_[at] = key;
    newKeys_.push_back(key);
    if (++count_ * 2 > slots_.size()) grow();
    return true;
}

}  // namespace kl::cloud
