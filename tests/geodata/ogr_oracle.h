#pragma once

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <vector>

namespace kl::geo::testing {

// GDAL as an independent GML reader. Runs with every HTTP request of GDAL sent
// to a closed loopback port, so no schema is ever fetched.
std::vector<std::string> ogrLayers(const std::string& path);

// One layer as GeoJSON in EPSG:2180 (easting, northing), 2D.
std::optional<nlohmann::json> ogrLayerAsGeoJson(const std::string& path, const std::string& layer);

// Runs a shell command with GDAL's environment and returns its exit status.
int runGdalCommand(const std::string& arguments);

}  // namespace kl::geo::testing
