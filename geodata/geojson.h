#pragma once

#include <nlohmann/json.hpp>

#include <vector>

#include "geodata/gis_feature.h"

namespace kl::geo {

enum class GeoJsonCoordinates {
  Wgs84,   // [longitude, latitude], for the map preview
  Pl1992,  // [easting, northing] with a named "crs" member, for checks and tools
};

// FeatureCollection of the features. Properties carry every attribute plus
// "_kind", the preview kind of the feature's data type.
nlohmann::json toGeoJson(const std::vector<GisFeature>& features,
                         GeoJsonCoordinates coordinates = GeoJsonCoordinates::Wgs84);

}  // namespace kl::geo
