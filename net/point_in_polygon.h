#pragma once
#include "geodata/gis_feature.h"

#include <vector>

namespace kl::net {

// Even-odd test; a point on the boundary may fall either way.
bool ringContains(const geo::Ring& ring, geo::Point2d p);

// Inside an exterior ring and in none of its holes, for any of the polygons.
bool polygonsContain(const std::vector<geo::Polygon>& polygons, geo::Point2d p);

}  // namespace kl::net
