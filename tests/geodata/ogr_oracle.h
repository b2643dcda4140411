#pragma once

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <vector>

namespace kl::geo::testing {

// GDAL as an independent GML reader. Runs with every HTTP request of GDAL sent
// to a closed loopback port, so no schema is ever fetched.
std::vector<std::string> ogrLayers(const std::string& path);

// One layer as GeoJSON, by default in EPSG:2180 (easting, northing), 2D; other
// ogr2ogr options (such as none, to keep the heights) replace that default.
std::optional<nlohmann::json> ogrLayerAsGeoJson(const std::string& path, const std::string& layer,
                                                const std::string& options = "-t_srs EPSG:2180 -dim 2");

// Runs a shell command with GDAL's environment and returns its exit status.
int runGdalCommand(const std::string& arguments);

}  // namespace kl::geo::testing
