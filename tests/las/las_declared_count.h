#pragma once
// The fuzzer and its seeds lower the point count that a compressed file
// declares: a LAZ reader decodes every declared point, so the count alone
// decides what one input costs.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "cloud/las/las_bytes.h"

namespace kl::las::fuzz {

inline constexpr std::size_t kVersionMinorAt = 25;
inline constexpr std::size_t kHeaderSizeAt = 94;
inline constexpr std::size_t kPointDataOffsetAt = 96;
inline constexpr std::size_t kPointFormatAt = 104;
inline constexpr std::size_t kRecordLengthAt = 105;
inline constexpr std::size_t kLegacyCountAt = 107;
inline constexpr std::size_t kCountAt = 247;  // LAS 1.4, in a header of at least 375 bytes
inline constexpr uint8_t kCompressedBit = 0x80;

template <typename T>
void lowerCountAt(std::vector<uint8_t>& file, std::size_t at, uint64_t cap) {
  if (file.size() >= at + sizeof(T) && loadLe<T>(file.data() + at) > cap)
    storeLe<T>(file.data() + at, static_cast<T>(cap));
}

// Plain LAS files are left alone: their count is already bounded by their size.
inline void capDeclaredPoints(std::vector<uint8_t>& file, uint64_t cap) {
  if (file.size() <= kPointFormatAt || (file[kPointFormatAt] & kCompressedBit) == 0) return;
  lowerCountAt<uint32_t>(file, kLegacyCountAt, cap);
  if (file[kVersionMinorAt] >= 4 && loadLe<uint16_t>(file.data() + kHeaderSizeAt) >= 375)
    lowerCountAt<uint64_t>(file, kCountAt, cap);
}

}  // namespace kl::las::fuzz
