#pragma once

#include <pugixml.hpp>

#include <string>
#include <utility>
#include <vector>

#include "geodata/axis_rule.h"
#include "geodata/gis_feature.h"

namespace kl::geo {

// Geometries of one feature that were left out, by reason.
struct GeometryLosses {
  int badNumbers = 0;      // a coordinate that is not a finite number
  int tooFewVertices = 0;  // a ring below 3 vertices, a line below 2, a point without a position

  bool any() const noexcept { return badNumbers > 0 || tooFewVertices > 0; }
};

// Reads polygons, lines and the first point below a feature element. One
// reader serves a whole document so its scratch buffers are reused. A geometry
// is kept whole or not at all: a shortened outline would be drawn as if it
// were the real one.
class GmlGeometryReader {
 public:
  // documentRule governs geometries without a srsName of their own or above them.
  explicit GmlGeometryReader(AxisRule documentRule) : documentRule_(documentRule) {}

  GeometryLosses read(const pugi::xml_node& featureElement, GisFeature& feature);

 private:
  enum class Found { None, Whole, Broken };

  AxisRule ruleFor(const pugi::xml_node& geometry) const;
  bool readPolygon(const pugi::xml_node& polygon, const AxisRule& rule, Polygon& out);
  bool readPositions(const pugi::xml_node& holder, const AxisRule& rule,
                     std::vector<Point2d>& out);
  Found readPosList(const pugi::xml_node& holder, const AxisRule& rule, std::vector<Point2d>& out);
  Found readPosElements(const pugi::xml_node& holder, const AxisRule& rule,
                        std::vector<Point2d>& out);
  bool readGml2(const pugi::xml_node& holder, const AxisRule& rule, std::vector<Point2d>& out);
  std::string_view textOf(const pugi::xml_node& element);

  AxisRule documentRule_;
  std::vector<double> numbers_;
  std::vector<std::pair<double, double>> pairs_;
  std::string text_;
};

}  // namespace kl::geo
