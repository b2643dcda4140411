#pragma once

#include <nlohmann/json.hpp>

#include <memory>
#include <ostream>
#include <vector>

#include "geodata/gis_feature.h"

namespace kl::geo {

enum class GeoJsonCoordinates {
  Wgs84,   // [longitude, latitude], for the map preview
  Pl1992,  // [easting, northing] with a named "crs" member, for checks and tools
};

// A FeatureCollection written as compact text feature by feature as they
// come, in the form writeGeoJson gives. Until finish() the text stays an
// unclosed collection, so an interrupted one cannot pass for complete; what
// is buffered goes to the stream at the latest when the writer goes.
class GeoJsonCollectionWriter {
 public:
  GeoJsonCollectionWriter(std::ostream& out, GeoJsonCoordinates coordinates);
  ~GeoJsonCollectionWriter();
  GeoJsonCollectionWriter(const GeoJsonCollectionWriter&) = delete;
  GeoJsonCollectionWriter& operator=(const GeoJsonCollectionWriter&) = delete;

  void add(const GisFeature& feature);
  void finish();

 private:
  struct Text;
  std::unique_ptr<Text> text_;
};

// The FeatureCollection as compact text written to out feature by feature,
// never held whole: the text toGeoJson(...).dump() gives. The caller checks
// the stream's state.
void writeGeoJson(std::ostream& out, const std::vector<GisFeature>& features,
                  GeoJsonCoordinates coordinates = GeoJsonCoordinates::Wgs84);

// FeatureCollection of the features. Properties carry every attribute plus
// "_kind", the preview kind of the feature's data type.
nlohmann::json toGeoJson(const std::vector<GisFeature>& features,
                         GeoJsonCoordinates coordinates = GeoJsonCoordinates::Wgs84);

}  // namespace kl::geo
