#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cloud/las/las_header.h"
#include "cloud/las/las_status.h"
#include "cloud/las/laszip_vlr.h"

namespace kl::las {

class LasFile;

struct LazChunk {
  uint64_t offset = 0;      // absolute file offset of the chunk
  uint64_t bytes = 0;       // stored size
  uint64_t points = 0;
  uint64_t firstPoint = 0;  // index of its first point in the file
};

struct ChunkTableResult {
  LasStatus status;
  std::vector<LazChunk> chunks;
  // Table absent or unusable but the chunks have a fixed point count: the reader must
  // walk the chunks one after another. reason says why (for diagnostics).
  bool sequential = false;
  std::string reason;
};

// Locates the chunks of a LAZ file whose header and LASzip record were read already.
ChunkTableResult readChunkTable(const LasFile& file, const LasHeader& header, const LaszipInfo& info,
                                const std::string& name);

// The table as our writer stores it (version 0, count, coded counts and sizes).
void appendChunkTable(const std::vector<LazChunk>& chunks, bool variable, std::vector<uint8_t>* out);

}  // namespace kl::las
