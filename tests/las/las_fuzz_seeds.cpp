// Writes the seeds of the LAS/LAZ reader fuzzer. Each sample gives a hundred or so
// points written again as LAZ in two short chunks (so one seed holds a chunk table,
// the VLRs and EVLRs and every item of its format): its first points, and points
// spread over the whole file for the codecs' rarer branches (time jumps, scanner
// channel changes, large deltas); the first points also as plain LAS. A small
// sample is also kept as it is, for what only its own writer produces (other
// compressors, damage); a sample that cannot be cut (wave packets) is kept whole.
// Kept files declare as few points as the cuts hold.
//   las_fuzz_seeds OUTPUT_DIR SAMPLE...
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cloud/las/las_reader.h"
#include "cloud/las/las_writer.h"
#include "tests/las/las_declared_count.h"

namespace {

constexpr uint64_t kPointsKept = 120;
constexpr uint32_t kChunkPoints = 60;
constexpr size_t kSmallSampleBytes = 32768;

std::vector<uint8_t> readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool writeBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out.flush());
}

// Up to kPointsKept records: the first and every stride-th after it.
std::vector<uint8_t> pick(const std::vector<uint8_t>& records, size_t recordLength, uint64_t stride) {
  std::vector<uint8_t> out;
  const uint64_t total = records.size() / recordLength;
  for (uint64_t i = 0; i < total && out.size() < kPointsKept * recordLength; i += stride)
    out.insert(out.end(), records.begin() + static_cast<std::ptrdiff_t>(i * recordLength),
               records.begin() + static_cast<std::ptrdiff_t>((i + 1) * recordLength));
  return out;
}

// A layered chunk repeats its point count after its first record: a kept file whose
// declared count was lowered must say the same there, or its first chunk is refused.
void lowerFirstLayeredChunk(std::vector<uint8_t>& file, uint64_t cap) {
  using namespace kl::las::fuzz;
  constexpr uint8_t kFirstLayeredFormat = 6;
  if (file.size() <= kRecordLengthAt + 2 || (file[kPointFormatAt] & kCompressedBit) == 0 ||
      (file[kPointFormatAt] & 0x3F) < kFirstLayeredFormat)
    return;
  const uint64_t chunkTableOffsetBytes = 8;
  const uint64_t at = kl::las::loadLe<uint32_t>(file.data() + kPointDataOffsetAt) + chunkTableOffsetBytes +
                      kl::las::loadLe<uint16_t>(file.data() + kRecordLengthAt);
  lowerCountAt<uint32_t>(file, static_cast<size_t>(at), cap);
}

// The first points, and points spread over the whole file, as LAZ in short chunks; the
// first points also as LAS. False when the sample cannot be read whole.
bool cutSample(const std::vector<uint8_t>& file, const std::string& stem) {
  kl::las::LasReader reader;
  std::vector<uint8_t> records;
  if (!reader.openMemory(file.data(), file.size(), stem) || !reader.readAll(&records)) return false;
  const kl::las::LasHeader header = reader.header();
  const auto write = [&](const std::string& path, const std::vector<uint8_t>& cut, bool compress) {
    kl::las::LasWriteOptions options;
    options.compress = compress;
    options.chunkSize = kChunkPoints;
    options.payloadSource = [&file](uint64_t offset, size_t size, void* dst) {
      if (offset > file.size() || size > file.size() - offset) return false;
      std::memcpy(dst, file.data() + offset, size);
      return true;
    };
    return static_cast<bool>(kl::las::writeLasFile(path, header, cut.data(), cut.size() / header.recordLength, options));
  };
  const size_t rl = header.recordLength;
  const std::vector<uint8_t> first = pick(records, rl, 1);
  const std::vector<uint8_t> spread = pick(records, rl, std::max<uint64_t>(1, records.size() / rl / kPointsKept));
  return write(stem + ".first.laz", first, true) && write(stem + ".first.las", first, false) &&
         (spread == first || write(stem + ".spread.laz", spread, true));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "uzycie: las_fuzz_seeds KATALOG_WYJSCIOWY PROBKA...\n");
    return 2;
  }
  const std::filesystem::path out = argv[1];
  std::error_code ec;
  std::filesystem::create_directories(out, ec);
  for (int i = 2; i < argc; ++i) {
    const std::filesystem::path sample = argv[i];
    std::vector<uint8_t> file = readFile(sample);
    const std::filesystem::path kept = out / sample.filename();
    if (cutSample(file, kept.string()) && file.size() > kSmallSampleBytes) continue;
    kl::las::fuzz::capDeclaredPoints(file, kPointsKept);
    lowerFirstLayeredChunk(file, kPointsKept);
    if (!writeBytes(kept, file)) {
      std::fprintf(stderr, "las_fuzz_seeds: nie mozna zapisac %s\n", kept.string().c_str());
      return 1;
    }
  }
  return 0;
}
