#pragma once

#include <map>
#include <string>
#include <vector>

#include "geodata/data_type.h"
#include "geodata/geometry.h"

namespace kl::geo {

// Rings keep the points as delivered, the closing repeat of the first point
// included.
using Ring = std::vector<Point2d>;
using Polyline = std::vector<Point2d>;

struct Polygon {
  Ring exterior;
  std::vector<Ring> holes;
  friend bool operator==(const Polygon&, const Polygon&) = default;
};

// One vector feature in PL-1992 metres.
struct GisFeature {
  DataType type = DataType::Parcels;
  std::vector<Polygon> polygons;
  std::vector<Polyline> lines;
  Point2d point;
  bool hasPoint = false;
  // Own properties plus "gml_id" (when the element carries one) and "_typ"
  // (local name of the feature element).
  std::map<std::string, std::string> attributes;

  bool hasGeometry() const noexcept { return !polygons.empty() || !lines.empty() || hasPoint; }
  friend bool operator==(const GisFeature&, const GisFeature&) = default;
};

}  // namespace kl::geo
