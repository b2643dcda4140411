#include "cloud/las/las_file.h"

#include <cstring>
#include <mutex>

#if defined(_WIN32)
#include <io.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kl::las {

#if defined(_WIN32)
namespace {
std::mutex& seekMutex() {
  static std::mutex m;
  return m;
}
}  // namespace
#endif

LasFile::~LasFile() {
  if (handle_ != nullptr) std::fclose(handle_);
}

bool LasFile::open(const std::string& path) {
  handle_ = std::fopen(path.c_str(), "rb");
  if (handle_ == nullptr) return false;
#if defined(_WIN32)
  if (_fseeki64(handle_, 0, SEEK_END) != 0) return false;
  const long long end = _ftelli64(handle_);
#else
  fd_ = fileno(handle_);
  struct stat st {};
  if (fstat(fd_, &st) != 0) return false;
  const long long end = static_cast<long long>(st.st_size);
#endif
  if (end < 0) return false;
  size_ = static_cast<uint64_t>(end);
  return true;
}

void LasFile::openMemory(const uint8_t* data, size_t size) {
  memory_ = data;
  size_ = size;
}

bool LasFile::readAt(uint64_t offset, size_t size, void* dst) const {
  if (offset > size_ || size > size_ - offset) return false;
  if (size == 0) return true;
  if (memory_ != nullptr) {
    std::memcpy(dst, memory_ + offset, size);
    return true;
  }
#if defined(_WIN32)
  std::lock_guard<std::mutex> lock(seekMutex());
  if (_fseeki64(handle_, static_cast<long long>(offset), SEEK_SET) != 0) return false;
  return std::fread(dst, 1, size, handle_) == size;
#else
  auto* p = static_cast<uint8_t*>(dst);
  while (size > 0) {
    const ssize_t n = ::pread(fd_, p, size, static_cast<off_t>(offset));
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
    offset += static_cast<uint64_t>(n);
  }
  return true;
#endif
}

}  // namespace kl::las
