#pragma once

#include <cstdint>

namespace kl::las {

// Context tables of the point-wise core codec, indexed [number of returns][return number].
inline constexpr uint8_t kNumberReturnMap[8][8] = {
    {15, 14, 13, 12, 11, 10, 9, 8}, {14, 0, 1, 3, 6, 10, 10, 9},   {13, 1, 2, 4, 7, 11, 11, 10},
    {12, 3, 4, 5, 8, 12, 12, 11},   {11, 6, 7, 8, 9, 13, 13, 12},  {10, 10, 11, 12, 13, 14, 14, 13},
    {9, 10, 11, 12, 13, 14, 15, 14}, {8, 9, 10, 11, 12, 13, 14, 15}};

inline constexpr uint8_t numberReturnLevel(uint32_t n, uint32_t r) { return static_cast<uint8_t>(n > r ? n - r : r - n); }

}  // namespace kl::las
