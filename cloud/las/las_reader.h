#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cloud/las/las_header.h"
#include "cloud/las/las_status.h"
#include "cloud/las/laszip_vlr.h"
#include "cloud/las/record_fields.h"

namespace kl::las {

// Streaming reader of LAS and LAZ files. Records come in file order, in batches (one
// chunk of a LAZ file); memory stays at a few chunks whatever the file size. With
// threads > 1 the chunks of a LAZ file are decoded ahead on that many threads.
class LasReader {
 public:
  LasReader();
  ~LasReader();
  LasReader(const LasReader&) = delete;
  LasReader& operator=(const LasReader&) = delete;

  LasStatus open(const std::string& path, unsigned threads = 1);
  // The bytes must outlive the reader; name is used in messages.
  LasStatus openMemory(const uint8_t* data, size_t size, const std::string& name, unsigned threads = 1);

  const LasHeader& header() const;
  // nullptr for an uncompressed file
  const LaszipInfo* laszip() const;

  // Between open and the first next(): the fields the caller reads; the others may be
  // left undecoded (see RecordFields). Everything is decoded unless this is called.
  void decodeOnly(RecordFields fields);

  // Work on each batch, done on the thread that decoded it: with threads > 1 it runs
  // alongside the decoding, on several batches at once and in any order, while next()
  // still hands the batches out in file order, each with its result. A result object is
  // reused from batch to batch, so work overwrites what it finds there. Set between open
  // and the first next().
  using BatchWork = std::function<void(const uint8_t* records, uint64_t count, std::any& result)>;
  void workOnBatches(BatchWork work);
  // The result of the work on the batch the last next() handed out.
  std::any& batchResult();

  // Starts decoding now instead of at the first next(), so that the batches are ready
  // by the time they are asked for; decodeOnly and workOnBatches go before it.
  void start();
  // Batches not yet decoded nor being decoded (0 after a failure): when there are no
  // more than threads, the decoding threads are about to run out of work, and the next
  // file may as well be started.
  uint64_t batchesNotStarted() const;

  // The next batch of records (header().recordLength bytes each, the file's own layout).
  // *count is 0 at the end. The batch stays valid until the next call.
  LasStatus next(const uint8_t** records, uint64_t* count);

  // All remaining records (tools and tests; allocates the whole point data).
  LasStatus readAll(std::vector<uint8_t>* out);

 private:
  struct Impl;
  LasStatus openOpened(unsigned threads);
  void startDecoding();
  std::unique_ptr<Impl> impl_;
};

// Field access on records of formats 0-10 that the pipeline needs.
struct LasPointView {
  int32_t x, y, z;
  uint16_t intensity;
  uint8_t returnNumber;
  uint8_t numberOfReturns;
  uint8_t classification;       // formats 0-5: the low 5 bits only
  uint8_t classificationFlags;  // bit 0 synthetic, 1 key-point, 2 withheld, 3 overlap (6-10)
  bool hasRgb;
  uint16_t red, green, blue;
};
LasPointView viewPoint(const uint8_t* record, uint8_t pointFormat);

}  // namespace kl::las
