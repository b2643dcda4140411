#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cloud/las/las_status.h"

namespace kl::las {

enum class LaszipItemType : uint16_t {
  Byte = 0,
  Point10 = 6,
  GpsTime11 = 7,
  Rgb12 = 8,
  WavePacket13 = 9,
  Point14 = 10,
  Rgb14 = 11,
  RgbNir14 = 12,
  WavePacket14 = 13,
  Byte14 = 14,
};

struct LaszipItem {
  uint16_t type = 0;
  uint16_t size = 0;
  uint16_t version = 0;
  bool operator==(const LaszipItem&) const = default;
};

inline constexpr const char* kLaszipVlrUserId = "laszip encoded";
inline constexpr uint16_t kLaszipVlrRecordId = 22204;
inline constexpr uint32_t kVariableChunkSize = 0xFFFFFFFFu;

enum class LaszipCompressor : uint16_t { None = 0, Pointwise = 1, PointwiseChunked = 2, LayeredChunked = 3 };

struct LaszipInfo {
  uint16_t compressor = 2;
  uint16_t coder = 0;
  uint8_t versionMajor = 3;
  uint8_t versionMinor = 4;
  uint16_t versionRevision = 0;
  uint32_t options = 0;
  uint32_t chunkSize = 50000;  // kVariableChunkSize: point counts are in the chunk table
  int64_t specialEvlrCount = -1;
  int64_t specialEvlrOffset = -1;
  std::vector<LaszipItem> items;

  bool variableChunks() const { return chunkSize == kVariableChunkSize || chunkSize == 0; }
  bool layered() const { return compressor == static_cast<uint16_t>(LaszipCompressor::LayeredChunked); }
};

// Parses the payload of the LASzip VLR (structure only).
LasStatus parseLaszipVlr(const uint8_t* payload, size_t size, LaszipInfo* info);

// Checks that compressor, coder, item types and versions are ones we decode and that the
// item list is the one of pointFormat with recordLength bytes per record.
LasStatus checkLaszipInfo(const LaszipInfo& info, uint8_t pointFormat, uint16_t recordLength);

// The item list our writer uses for a point format (formats 0-5 pointwise v2, 6-10 layered v3).
std::vector<LaszipItem> standardLaszipItems(uint8_t pointFormat, uint16_t recordLength);

std::vector<uint8_t> serializeLaszipVlr(const LaszipInfo& info);

}  // namespace kl::las
