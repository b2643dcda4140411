#pragma once

// Shared helpers of the LAS/LAZ tests: sample paths, temp files, whole-file decode and
// the laz-perf oracle (Node) run as a child process.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "cloud/las/las_bytes.h"
#include "cloud/las/las_reader.h"

namespace kl::las::test {

inline std::string sample(const std::string& name) { return std::string(KL_SAMPLES_DIR) + "/las/" + name; }

inline std::string tempFile(const std::string& name) {
  const std::filesystem::path dir = std::filesystem::path(KL_BINARY_DIR) / "las_test_tmp";
  std::filesystem::create_directories(dir);
  return (dir / name).string();
}

// True when the writer left none of its temporary files ("<out>.??????.tmp") beside out.
inline bool noTempBeside(const std::string& out) {
  const std::string prefix = std::filesystem::path(out).filename().string() + ".";
  for (const auto& e : std::filesystem::directory_iterator(std::filesystem::path(out).parent_path()))
    if (e.path().filename().string().starts_with(prefix) && e.path().extension() == ".tmp") return false;
  return true;
}

inline std::vector<uint8_t> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Random bytes over the first chunk of a chunked LAZ file past its first record:
// the header and the chunk table still read, the points no longer decode.
inline void garbleFirstChunk(std::vector<uint8_t>& b) {
  std::mt19937 rng(5);
  const size_t chunk = loadLe<uint32_t>(b.data() + 96) + 8;
  for (size_t i = chunk + 40; i < chunk + 40000; ++i) b[i] = static_cast<uint8_t>(rng());
}

struct Decoded {
  LasStatus status;
  LasHeader header;
  std::vector<uint8_t> records;
};

// Opens the file, or the bytes when given, then reads every record.
inline Decoded decode(const std::string& name, unsigned threads = 1, const std::vector<uint8_t>* bytes = nullptr) {
  Decoded d;
  LasReader reader;
  d.status = bytes ? reader.openMemory(bytes->data(), bytes->size(), name, threads) : reader.open(name, threads);
  if (!d.status) return d;
  d.header = reader.header();
  d.status = reader.readAll(&d.records);
  return d;
}
inline Decoded decodeFile(const std::string& path, unsigned threads = 1) { return decode(path, threads); }
inline Decoded decodeBytes(const std::vector<uint8_t>& bytes, const std::string& name, unsigned threads = 1) {
  return decode(name, threads, &bytes);
}

// Decodes with laz-perf; false if laz-perf fails on the file.
inline bool lazPerfDecode(const std::string& path, std::vector<uint8_t>* records) {
  const std::string out = tempFile(std::filesystem::path(path).filename().string() + ".lazperf.raw");
  std::remove(out.c_str());
  const std::string cmd = "NODE_PATH='" + std::string(KL_NODE_MODULES) + "' node '" + std::string(KL_LAS_TEST_DIR) +
                          "/lazperf_decode.js' '" + path + "' '" + out + "' > /dev/null 2>&1";
  if (std::system(cmd.c_str()) != 0) return false;
  *records = readFile(out);
  std::remove(out.c_str());
  return true;
}

}  // namespace kl::las::test
