#pragma once

#include <string>
#include <vector>

#include "terrain/contour.h"

namespace kl::tools {

// A GeoJSON FeatureCollection of LineStrings with the properties "level"
// (metres) and "index" (true for index contours).
std::string contoursAsGeoJson(const std::vector<terrain::Contour>& contours);

// A DXF drawing: each contour a polyline at its level's height, index
// contours with their upright height labels beside them.
std::string contoursAsDxf(const std::vector<terrain::Contour>& contours);

}  // namespace kl::tools
