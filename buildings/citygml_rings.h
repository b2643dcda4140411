#pragma once
// What the two building parsers of the model sheets share: which elements are
// buildings, and how a gml:LinearRing becomes an open ring of (x, y, z) points.
// Elements are matched by local name, so any namespace prefix (or none) works.
#include <pugixml.hpp>

#include <optional>
#include <string_view>
#include <vector>

#include "buildings/lod_building.h"
#include "geodata/geometry.h"

namespace kl::buildings {

// The Building elements of a sheet, outermost only, in document order. A
// Building nested in another (not valid CityGML, but written by some tools)
// is part of the outer one: its geometry counts once, with the outer building,
// as does the geometry of every BuildingPart.
std::vector<pugi::xml_node> outermostBuildings(const pugi::xml_document& doc);

// The points of a LinearRing from its pos and posList children in document
// order, with a closing point equal to the first stripped. Nothing when a
// coordinate list is not whole (x, y, z) triples — a ring whose heights
// stop short of its points is dropped, never read past its end — or when
// fewer than 3 points remain.
std::optional<std::vector<Point3d>> readRing(const pugi::xml_node& linearRing);

// The first direct child with this local name.
pugi::xml_node childByLocalName(const pugi::xml_node& node, std::string_view name);

// Text of a child element, trimmed of white space.
std::string_view trimmedText(const pugi::xml_node& node);

// A box that any first point replaces, and its growth by one point.
geo::Bbox emptyBox();
void extendBox(geo::Bbox& box, double x, double y);

// Closed-interval test of a box of points against the frame.
bool meetsFrame(const geo::Bbox& box, const geo::Bbox& frame);

}  // namespace kl::buildings
