#pragma once
#include <string>
#include <vector>

#include "cloud/e57/cloud_point.h"

namespace kl::e57 {

// Writes the points as one scan of an ASTM E57 file (single-precision
// coordinates, 8-bit colour). The file at path is replaced only when the
// whole file has reached the disk; on any failure it is left as it was, no
// partial file remains, error receives a Polish message and false is returned.
bool writeE57(const std::string& path, const std::vector<cloud::CloudPoint>& points, std::string& error);

// Points per data packet: the largest run whose packet stays well under the
// 64 KiB packet limit.
constexpr size_t kPointsPerPacket = 1057;

}  // namespace kl::e57
