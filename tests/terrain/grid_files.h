#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace kl::terrain::testing {

inline std::string gridSample(const std::string& name) { return std::string(KL_SAMPLES_DIR) + "/grid/" + name; }

// A folder of the test's own files, removed with the object.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kl_terrain_XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  std::filesystem::path write(const std::string& name, const std::string& content) const {
    const auto file = path_ / name;
    std::ofstream(file, std::ios::binary) << content;
    return file;
  }
  std::filesystem::path path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace kl::terrain::testing
