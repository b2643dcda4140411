#pragma once
// Spatial predicates the services filter with: a BBOX query selects a feature
// when its geometry (not only its envelope) meets the box.

#include "tools/geoportal/demo_area.h"

namespace kl::geoportal {

bool pointInRing(const std::vector<Xy>& ring, Xy p);
bool pointInPolygon(const DemoFeature& feature, Xy p);
bool featureIntersects(const DemoFeature& feature, const Box& box);

}  // namespace kl::geoportal
