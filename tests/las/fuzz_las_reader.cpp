// libFuzzer entry: any bytes through the LAS/LAZ reader must end in records or a message.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "cloud/las/las_bytes.h"
#include "cloud/las/las_reader.h"

namespace {

// A compressed file is decoded point by point up to the count its header declares,
// so one mutated count could make a single input cost a second. Larger counts are
// lowered in a copy of the input; the seeds hold fewer points than this in several
// chunks, so the chunk table, the VLRs and EVLRs and every item codec stay in reach.
constexpr uint64_t kMaxDecodedPoints = 1000;

constexpr size_t kVersionMinorAt = 25;
constexpr size_t kHeaderSizeAt = 94;
constexpr size_t kPointFormatAt = 104;
constexpr size_t kLegacyCountAt = 107;
constexpr size_t kCountAt = 247;  // LAS 1.4, with a header of at least 375 bytes
constexpr uint8_t kCompressedBit = 0x80;

template <typename T>
void capAt(std::vector<uint8_t>& bytes, size_t at) {
  if (bytes.size() < at + sizeof(T)) return;
  if (kl::las::loadLe<T>(bytes.data() + at) > kMaxDecodedPoints)
    kl::las::storeLe<T>(bytes.data() + at, static_cast<T>(kMaxDecodedPoints));
}

std::vector<uint8_t> withCappedCounts(const uint8_t* data, size_t size) {
  std::vector<uint8_t> bytes(data, data + size);
  if (size <= kPointFormatAt || (bytes[kPointFormatAt] & kCompressedBit) == 0) return bytes;
  capAt<uint32_t>(bytes, kLegacyCountAt);
  if (bytes[kVersionMinorAt] >= 4 && kl::las::loadLe<uint16_t>(bytes.data() + kHeaderSizeAt) >= 375)
    capAt<uint64_t>(bytes, kCountAt);
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> input = withCappedCounts(data, size);
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
