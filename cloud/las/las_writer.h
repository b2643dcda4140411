#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cloud/las/chunk_table.h"
#include "cloud/las/las_header.h"
#include "cloud/las/las_status.h"
#include "cloud/las/laszip_vlr.h"

namespace kl::las {

class PointwiseChunkEncoder;

// Reads size bytes at an absolute offset of the file a header was read from; false when
// the bytes are not there.
using LasPayloadSource = std::function<bool(uint64_t offset, size_t size, void* dst)>;

struct LasWriteOptions {
  bool compress = true;
  uint32_t chunkSize = 50000;
  // Needed only when an EVLR's payload was located, not loaded (LasVlr::locatedLength):
  // it is then copied from here in bounded pieces.
  LasPayloadSource payloadSource;
};

// Writes a LAS or LAZ file (formats 0-3 and 6-8; LAZ point-wise for 0-3, layered for 6-8)
// through a temporary name that is renamed over the target only when close() succeeds.
// The header's count, bounds and returns are computed from the records written. Its VLRs
// are kept (a LASzip record is replaced) and its EVLRs follow the points; a file with EVLRs
// is written as LAS 1.4, the only version that can hold them.
class LasWriter {
 public:
  LasWriter();
  ~LasWriter();
  LasWriter(const LasWriter&) = delete;
  LasWriter& operator=(const LasWriter&) = delete;

  // header supplies format, record length, scale, offset, texts, VLRs and EVLRs.
  LasStatus open(const std::string& path, const LasHeader& header, const LasWriteOptions& options = {});
  LasStatus write(const uint8_t* records, uint64_t count);
  LasStatus close();

 private:
  LasStatus takeRecords(std::vector<LasVlr>&& records);
  LasStatus flushChunk();
  LasStatus writeEvlrs();
  LasStatus copyLocatedPayload(const LasVlr& evlr, size_t number);
  LasStatus put(const void* data, size_t size);
  LasStatus putAt(uint64_t offset, const void* data, size_t size);
  void account(const uint8_t* records, uint64_t count);
  LasStatus fail(const std::string& cause);

  std::string path_;
  std::string tempPath_;
  std::FILE* file_ = nullptr;
  LasHeader header_;            // its vlrs hold the VLRs only
  std::vector<LasVlr> evlrs_;
  LasWriteOptions options_;
  LaszipInfo info_;
  uint64_t position_ = 0;
  uint64_t points_ = 0;
  std::vector<uint8_t> pending_;  // records of the chunk being filled
  std::vector<uint8_t> coded_;
  std::vector<LazChunk> chunks_;
  std::unique_ptr<PointwiseChunkEncoder> pointwise_;
  std::array<int32_t, 3> lo_{}, hi_{};
  bool failed_ = false;
};

// Convenience for tools and tests: the whole file in one call.
LasStatus writeLasFile(const std::string& path, const LasHeader& header, const uint8_t* records, uint64_t count,
                       const LasWriteOptions& options = {});

}  // namespace kl::las
