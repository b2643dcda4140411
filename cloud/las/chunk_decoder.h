#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cloud/las/chunk_table.h"
#include "cloud/las/las_header.h"
#include "cloud/las/las_status.h"
#include "cloud/las/laszip_vlr.h"
#include "cloud/las/record_fields.h"

namespace kl::las {

class LasFile;
class PointwiseChunkDecoder;

// Decodes whole chunks of one file; one instance per thread (it owns its buffers, so
// after the first chunk nothing is allocated per chunk).
class ChunkDecoder {
 public:
  ChunkDecoder(const LasFile& file, const LasHeader& header, const LaszipInfo& info, std::string name,
               RecordFields fields);
  ~ChunkDecoder();

  // Decodes chunk number index into *records (chunk.points records).
  LasStatus decode(const LazChunk& chunk, size_t index, std::vector<uint8_t>* records);

  // For files without a usable table: decodes the chunk that starts at chunk.offset
  // (chunk.bytes is ignored) and returns its stored size in *stored.
  LasStatus decodeAt(const LazChunk& chunk, size_t index, std::vector<uint8_t>* records, uint64_t* stored);

 private:
  LasStatus decodeBuffer(const LazChunk& chunk, size_t index, std::vector<uint8_t>* records, uint64_t* stored);
  LasStatus fail(size_t index, const std::string& cause) const;
  uint64_t layeredStoredSize(const uint8_t* data, size_t size) const;

  const LasFile& file_;
  const LasHeader& header_;
  const LaszipInfo& info_;
  std::string name_;
  RecordFields fields_;
  uint64_t dataEnd_;
  std::vector<uint8_t> stored_;
  std::unique_ptr<PointwiseChunkDecoder> pointwise_;
};

}  // namespace kl::las
