#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kl::geo::testing {

// Runs PROJ's cs2cs on pairs in the axis order of the EPSG definitions
// (latitude first for 4326, northing first for the Polish grids) and returns
// the converted pairs in the same convention; nullopt when cs2cs is missing
// or answers with a different number of lines.
std::optional<std::vector<std::pair<double, double>>> runCs2cs(
    const std::string& from, const std::string& to,
    const std::vector<std::pair<double, double>>& input);

}  // namespace kl::geo::testing
