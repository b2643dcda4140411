// Writes the seeds of the LAS/LAZ reader fuzzer: every sample cut to its first
// few hundred points and written again as LAZ in short chunks (so one seed
// holds several chunks, their table, the VLRs and EVLRs) and as plain LAS.
// Small samples are also kept as they are, for what only their own writer
// produces (other compressors, wave packets, damage); a large sample that
// cannot be cut gives its first bytes.
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

namespace {

constexpr uint64_t kPointsKept = 240;
constexpr uint32_t kChunkPoints = 60;
constexpr size_t kRawSeedBytes = 32768;

std::vector<uint8_t> readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool writeBytes(const std::filesystem::path& path, const uint8_t* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  return static_cast<bool>(out.flush());
}

// The first points of a sample, or nothing when the reader refuses it.
bool firstPoints(const std::vector<uint8_t>& file, kl::las::LasHeader* header, std::vector<uint8_t>* records) {
  kl::las::LasReader reader;
  if (!reader.openMemory(file.data(), file.size(), "seed")) return false;
  *header = reader.header();
  const size_t wanted = static_cast<size_t>(std::min(kPointsKept, header->pointCount)) * header->recordLength;
  while (records->size() < wanted) {
    const uint8_t* batch = nullptr;
    uint64_t count = 0;
    if (!reader.next(&batch, &count)) return false;
    if (count == 0) break;
    records->insert(records->end(), batch, batch + count * header->recordLength);
  }
  records->resize(std::min(records->size(), wanted));
  return true;
}

bool writeCuts(const std::vector<uint8_t>& file, const std::filesystem::path& stem) {
  kl::las::LasHeader header;
  std::vector<uint8_t> records;
  if (!firstPoints(file, &header, &records)) return false;
  const uint64_t count = records.size() / header.recordLength;
  kl::las::LasWriteOptions options;
  options.chunkSize = kChunkPoints;
  options.payloadSource = [&file](uint64_t offset, size_t size, void* dst) {
    if (offset > file.size() || size > file.size() - offset) return false;
    std::memcpy(dst, file.data() + offset, size);
    return true;
  };
  if (!kl::las::writeLasFile(stem.string() + ".cut.laz", header, records.data(), count, options)) return false;
  options.compress = false;
  return static_cast<bool>(kl::las::writeLasFile(stem.string() + ".cut.las", header, records.data(), count, options));
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
    const std::vector<uint8_t> file = readFile(sample);
    const std::filesystem::path copy = out / sample.filename();
    const bool cut = writeCuts(file, copy);
    if (file.size() > kRawSeedBytes && cut) continue;
    if (!writeBytes(copy, file.data(), std::min(file.size(), kRawSeedBytes))) {
      std::fprintf(stderr, "las_fuzz_seeds: nie mozna zapisac %s\n", copy.string().c_str());
      return 1;
    }
  }
  return 0;
}
