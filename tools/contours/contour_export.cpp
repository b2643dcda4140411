#include "tools/contours/contour_export.h"

#include <nlohmann/json.hpp>

#include "terrain/contour_labels.h"
#include "tools/import/dxf_writer.h"

namespace kl::tools {
namespace {

constexpr const char* kContourLayer = "GIS_POZIOMICE_2D";
constexpr double kLabelHeight = 2.0;

}  // namespace

std::string contoursAsGeoJson(const std::vector<terrain::Contour>& contours) {
  nlohmann::json features = nlohmann::json::array();
  for (const terrain::Contour& contour : contours) {
    nlohmann::json coordinates = nlohmann::json::array();
    for (const auto& [x, y] : contour.points) coordinates.push_back({x, y});
    features.push_back({{"type", "Feature"},
                        {"properties", {{"level", contour.level}, {"index", contour.index}}},
                        {"geometry", {{"type", "LineString"}, {"coordinates", std::move(coordinates)}}}});
  }
  return nlohmann::json{{"type", "FeatureCollection"}, {"features", std::move(features)}}.dump() + "\n";
}

std::string contoursAsDxf(const std::vector<terrain::Contour>& contours) {
  std::vector<DxfEntity> entities;
  for (const terrain::Contour& contour : contours) {
    DxfEntity line;
    line.layer = kContourLayer;
    line.elevation = contour.level;
    for (const auto& [x, y] : contour.points) line.points.push_back({x, y});
    entities.push_back(std::move(line));
    for (const terrain::ContourLabel& label : terrain::labelContour(contour)) {
      DxfEntity text;
      text.kind = DxfEntity::Kind::Text;
      text.layer = kContourLayer;
      text.points = {{label.x, label.y}};
      text.text = label.text;
      text.height = kLabelHeight;
      text.angle = label.angle;
      text.elevation = contour.level;
      entities.push_back(std::move(text));
    }
  }
  return dxfDocument(entities);
}

}  // namespace kl::tools
