#pragma once

#include <fstream>
#include <iterator>
#include <string>

namespace kl::geo::testing {

inline std::string samplePath(const std::string& nameUnderGml) {
  return std::string(KL_SAMPLES_DIR) + "/gml/" + nameUnderGml;
}

// The whole content of a file; empty when it cannot be read.
inline std::string readWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::string readSample(const std::string& nameUnderGml) { return readWholeFile(samplePath(nameUnderGml)); }

}  // namespace kl::geo::testing
