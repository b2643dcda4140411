#pragma once

#include <pugixml.hpp>

#include <string>
#include <utility>
#include <vector>

#include "geodata/axis_rule.h"
#include "geodata/gis_feature.h"

namespace kl::geo {

// Reads polygons, lines and the first point below a feature element. One
// reader serves a whole document so its scratch buffers are reused.
class GmlGeometryReader {
 public:
  explicit GmlGeometryReader(int documentEpsg) : documentEpsg_(documentEpsg) {}

  void read(const pugi::xml_node& featureElement, GisFeature& feature);

 private:
  AxisRule ruleFor(const pugi::xml_node& geometry) const;
  Polygon readPolygon(const pugi::xml_node& polygon, const AxisRule& rule);
  void readPositions(const pugi::xml_node& holder, const AxisRule& rule,
                     std::vector<Point2d>& out);
  bool readPosList(const pugi::xml_node& holder, const AxisRule& rule, std::vector<Point2d>& out);
  bool readPosElements(const pugi::xml_node& holder, const AxisRule& rule,
                       std::vector<Point2d>& out);
  bool readGml2(const pugi::xml_node& holder, const AxisRule& rule, std::vector<Point2d>& out);
  std::string_view textOf(const pugi::xml_node& element);

  int documentEpsg_;
  std::vector<double> numbers_;
  std::vector<std::pair<double, double>> pairs_;
  std::string text_;
};

}  // namespace kl::geo
