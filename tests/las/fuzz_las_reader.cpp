// libFuzzer entry: any bytes through the LAS/LAZ reader must end in records or a message.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "cloud/las/las_reader.h"
#include "tests/las/las_declared_count.h"

namespace {

// A mutated count could make one input cost seconds; the seeds declare fewer points
// than this in two chunks each, so the chunk table, the VLRs and EVLRs and every item
// codec stay in reach.
constexpr uint64_t kMaxDecodedPoints = 500;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> input(data, data + size);
  kl::las::fuzz::capDeclaredPoints(input, kMaxDecodedPoints);
  kl::las::LasReader reader;
  // One thread: the decoding pipeline has its own tests, and starting threads for
  // every input would cost more than most inputs take to decode.
  if (!reader.openMemory(input.data(), input.size(), "fuzz.laz", 1)) return 0;
  uint64_t total = 0;
  for (;;) {
    const uint8_t* records = nullptr;
    uint64_t count = 0;
    if (!reader.next(&records, &count) || count == 0) break;
    total += count;
    if (total > reader.header().pointCount) __builtin_trap();
  }
  return 0;
}
