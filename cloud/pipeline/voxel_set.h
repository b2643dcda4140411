#pragma once
#include <cstddef>
#include <cstdint>
#include <unordered_set>
#include <vector>

namespace kl::cloud {

// Set of occupied voxels (i, j, k). Keys of ordinary frames pack into one
// 64-bit word kept in an open-addressing table, so a point costs one probe
// sequence and no allocation; the rare key outside the packed range goes to
// an ordinary hash set. Voxels taken since the last commit() can be given
// back with rollback(), so a tile that breaks half way leaves none taken.
class VoxelSet {
public:
    VoxelSet();
    // True when the voxel was free (and is now taken).
    bool insert(int64_t i, int64_t j, int64_t k);
    size_t size() const { return count_ + outliers_.size(); }

    // Keeps every voxel taken so far.
    void commit();
    // Frees every voxel taken since the last commit().
    void rollback();

private:
    struct TripleHash {
        size_t operator()(const std::vector<int64_t>& v) const noexcept;
    };
    void grow();
    void place(uint64_t key);

    std::vector<uint64_t> slots_;  // 0 = empty; stored keys are packed + 1
    size_t count_ = 0;
    size_t mask_ = 0;
    std::unordered_set<std::vector<int64_t>, TripleHash> outliers_;
    // Taken since the last commit.
    std::vector<uint64_t> newKeys_;
    std::vector<std::vector<int64_t>> newOutliers_;
};

}  // namespace kl::cloud
