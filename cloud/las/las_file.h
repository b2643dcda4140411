#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace kl::las {

// Read-only random access to a file; positional reads are safe from several threads.
class LasFile {
 public:
  LasFile() = default;
  ~LasFile();
  LasFile(const LasFile&) = delete;
  LasFile& operator=(const LasFile&) = delete;

  bool open(const std::string& path);
  bool isOpen() const { return handle_ != nullptr || memory_ != nullptr; }
  uint64_t size() const { return size_; }
  // Reads exactly size bytes at offset; false if the range is not inside the file.
  bool readAt(uint64_t offset, size_t size, void* dst) const;

  // An in-memory "file" (fuzzing, tests); the caller keeps the bytes alive.
  void openMemory(const uint8_t* data, size_t size);

 private:
  int fd_ = -1;
  std::FILE* handle_ = nullptr;
  const uint8_t* memory_ = nullptr;
  uint64_t size_ = 0;
};

}  // namespace kl::las
