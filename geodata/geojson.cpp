#include "geodata/geojson.h"

#include "geodata/polish_crs.h"

namespace kl::geo {
namespace {

using nlohmann::json;

class GeometryWriter {
 public:
  explicit GeometryWriter(GeoJsonCoordinates coordinates) : coordinates_(coordinates) {}

  json geometryOf(const GisFeature& f) const;

 private:
  json position(const Point2d& p) const {
    if (coordinates_ == GeoJsonCoordinates::Pl1992) return json::array({p.x, p.y});
    const LatLon g = pl1992ToWgs84(p.x, p.y);
    return json::array({g.lon, g.lat});
  }

  json pointList(const std::vector<Point2d>& points) const {
    json list = json::array();
    for (const Point2d& p : points) list.push_back(position(p));
    return list;
  }

  json polygonRings(const Polygon& polygon) const {
    json rings = json::array({pointList(polygon.exterior)});
    for (const Ring& hole : polygon.holes) rings.push_back(pointList(hole));
    return rings;
  }

  GeoJsonCoordinates coordinates_;
};

json GeometryWriter::geometryOf(const GisFeature& f) const {
  if (!f.polygons.empty()) {
    if (f.polygons.size() == 1) {
      return {{"type", "Polygon"}, {"coordinates", polygonRings(f.polygons.front())}};
    }
    json all = json::array();
    for (const Polygon& p : f.polygons) all.push_back(polygonRings(p));
    return {{"type", "MultiPolygon"}, {"coordinates", std::move(all)}};
  }
  if (!f.lines.empty()) {
    if (f.lines.size() == 1) {
      return {{"type", "LineString"}, {"coordinates", pointList(f.lines.front())}};
    }
    json all = json::array();
    for (const Polyline& l : f.lines) all.push_back(pointList(l));
    return {{"type", "MultiLineString"}, {"coordinates", std::move(all)}};
  }
  if (f.hasPoint) return {{"type", "Point"}, {"coordinates", position(f.point)}};
  return nullptr;
}

}  // namespace

nlohmann::json toGeoJson(const std::vector<GisFeature>& features,
                         GeoJsonCoordinates coordinates) {
  const GeometryWriter writer(coordinates);
  json list = json::array();
  for (const GisFeature& f : features) {
    json properties = json::object();
    for (const auto& [key, value] : f.attributes) properties[key] = value;
    properties["_kind"] = std::string(dataTypePreviewKind(f.type));
    json feature = {{"type", "Feature"}, {"properties", std::move(properties)}};
    json geometry = writer.geometryOf(f);
    if (!geometry.is_null()) feature["geometry"] = std::move(geometry);
    list.push_back(std::move(feature));
  }
  json collection = {{"type", "FeatureCollection"}};
  if (coordinates == GeoJsonCoordinates::Pl1992) {
    collection["crs"] = {{"type", "name"},
                         {"properties", {{"name", "urn:ogc:def:crs:EPSG::2180"}}}};
  }
  collection["features"] = std::move(list);
  return collection;
}

}  // namespace kl::geo
