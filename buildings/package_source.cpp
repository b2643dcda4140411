#include "buildings/package_source.h"

#include <algorithm>

namespace kl::buildings {

bool isCountyCode(std::string_view code) {
  return code.size() == 4 && std::all_of(code.begin(), code.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string lod1PackageUrl(std::string_view county, int edition) {
  if (!isCountyCode(county)) return {};
  const std::string c(county);
  return std::string(kOpenDataHost) + "/InneDane/Budynki3D/LOD1/" + std::to_string(edition) + "/" + c.substr(0, 2) +
         "/" + c + ".zip";
}

std::string lod2PackageUrl(std::string_view county) {
  if (!isCountyCode(county)) return {};
  return std::string(kOpenDataHost) + "/InneDane/Budynki3D/LOD2/" + std::string(county) + "_gml.zip";
}

}  // namespace kl::buildings
