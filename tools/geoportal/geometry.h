#pragma once
// Spatial predicates the services filter with: a BBOX query selects a feature
// when its geometry (not only its envelope) meets the box. The geoportal is
// the fixture the add-on is tested against, so it keeps its own plane
// geometry rather than the add-on's: a fault cannot sit on both sides.

#include "tools/geoportal/demo_area.h"

namespace kl::geoportal {

// Shoelace area, positive for a counter-clockwise ring, open or closed.
double signedArea(const std::vector<Xy>& ring);
bool pointInRing(const std::vector<Xy>& ring, Xy p);
double distanceToSegment(Xy p, Xy a, Xy b);
bool pointInPolygon(const DemoFeature& feature, Xy p);
bool featureIntersects(const DemoFeature& feature, const Box& box);

// The ring closed (last point repeating the first) and turned the given way.
std::vector<Xy> closed(std::vector<Xy> ring, bool counterClockwise);
// A polygon whose outer ring turns counter-clockwise and its holes clockwise.
DemoFeature polygonFeature(std::string id, std::vector<std::vector<Xy>> rings,
                           std::vector<std::pair<std::string, std::string>> props);
DemoFeature lineFeature(std::vector<Xy> path, std::vector<std::pair<std::string, std::string>> props);

// A sheet of a national sheet index: the box as one polygon, its ring as
// those indexes write it (from the south-east corner, clockwise).
DemoFeature sheetFeature(std::string id, const Box& box);

}  // namespace kl::geoportal
