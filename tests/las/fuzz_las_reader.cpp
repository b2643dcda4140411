// libFuzzer entry: any bytes through the LAS/LAZ reader must end in records or a message.
#include <cstddef>
#include <cstdint>

#include "cloud/las/las_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kl::las::LasReader reader;
  // the last byte picks the thread count, so the pipeline is exercised too
  const unsigned threads = size > 0 && (data[size - 1] & 1) ? 2 : 1;
  if (!reader.openMemory(data, size, "fuzz.laz", threads)) return 0;
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
