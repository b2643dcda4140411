#include "cloud/las/unique_temp.h"

#if !defined(_WIN32)
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kl::las {

std::FILE* createUniqueTemp(const std::string& path, std::string& tempPath) {
#if defined(_WIN32)
  tempPath = path + ".tmp";
  return std::fopen(tempPath.c_str(), "wbx");
#else
  std::string pattern = path + ".XXXXXX.tmp";
  const int fd = ::mkstemps(pattern.data(), 4);
  if (fd < 0) return nullptr;
  // mkstemps makes it private to the user; the finished file is an ordinary one.
  ::fchmod(fd, 0644);
  std::FILE* f = ::fdopen(fd, "wb");
  if (f == nullptr) {
    ::close(fd);
    std::remove(pattern.c_str());
    return nullptr;
  }
  tempPath = pattern;
  return f;
#endif
}

}  // namespace kl::las
