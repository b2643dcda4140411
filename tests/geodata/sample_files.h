#pragma once

#include <fstream>
#include <iterator>
#include <string>

namespace kl::geo::testing {

inline std::string samplePath(const std::string& nameUnderGml) {
  return std::string(KL_SAMPLES_DIR) + "/gml/" + nameUnderGml;
}

inline std::string readSample(const std::string& nameUnderGml) {
  std::ifstream in(samplePath(nameUnderGml), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace kl::geo::testing
