#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cloud/las/las_status.h"

namespace kl::las {

class LasFile;

// Bytes of a variable length record's header before its payload; the reader
// and the writer must agree on it.
inline constexpr std::size_t kVlrHeaderSize = 54;

// A variable length record (or an extended one after the points in LAS 1.4).
struct LasVlr {
  std::string userId;
  uint16_t recordId = 0;
  std::string description;
  bool extended = false;
  uint64_t payloadOffset = 0;  // absolute file offset of the payload
  std::vector<uint8_t> payload;
  uint64_t locatedLength = 0;  // non-zero: the payload was left in the file (too large to load)

  uint64_t payloadLength() const { return locatedLength != 0 ? locatedLength : payload.size(); }
};

struct LasHeader {
  uint8_t versionMajor = 1;
  uint8_t versionMinor = 2;
  uint16_t fileSourceId = 0;
  uint16_t globalEncoding = 0;
  std::array<uint8_t, 16> projectGuid{};
  std::string systemIdentifier;
  std::string generatingSoftware;
  uint16_t creationDay = 0;
  uint16_t creationYear = 0;
  uint16_t headerSize = 227;
  uint32_t pointDataOffset = 227;
  uint32_t vlrCountDeclared = 0;
  uint8_t pointFormatByte = 0;  // as stored, compression bits included
  uint8_t pointFormat = 0;      // 0..10
  bool compressed = false;      // LASzip bit set and a LASzip VLR present
  uint16_t recordLength = 20;
  uint64_t pointCount = 0;
  std::array<uint64_t, 15> pointsByReturn{};
  std::array<double, 3> scale{0.01, 0.01, 0.01};
  std::array<double, 3> offset{0, 0, 0};
  std::array<double, 3> min{0, 0, 0};
  std::array<double, 3> max{0, 0, 0};
  uint64_t waveformStart = 0;
  uint64_t evlrStart = 0;
  uint32_t evlrCount = 0;
  std::vector<LasVlr> vlrs;  // VLRs then EVLRs
  uint64_t fileSize = 0;

  const LasVlr* findVlr(const std::string& userId, uint16_t recordId) const;
};

// Size in bytes of the standard record of a point format (0 for an unknown format).
uint16_t standardRecordLength(uint8_t pointFormat);
inline bool formatHasGpsTime(uint8_t f) { return f == 1 || f >= 3; }
inline bool formatHasRgb(uint8_t f) { return f == 2 || f == 3 || f == 5 || f == 7 || f == 8 || f == 10; }
inline bool formatHasNir(uint8_t f) { return f == 8 || f == 10; }
inline bool formatHasWavePacket(uint8_t f) { return f == 4 || f == 5 || f == 9 || f == 10; }
inline bool formatIsExtended(uint8_t f) { return f >= 6; }

// Reads the header, the VLRs (never past the point data) and the EVLRs of an open file.
// name is used in messages only.
LasStatus readLasHeader(LasFile& file, const std::string& name, LasHeader* header);

// Serialises the public header block (the version decides its size); VLR payloads are
// written separately by the writer.
std::vector<uint8_t> serializeLasHeader(const LasHeader& header);

}  // namespace kl::las
