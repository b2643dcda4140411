#pragma once
// County cadastre services send parcels as bare polygons, so a parcel would
// never get its number printed. A point inside the parcel stands in for the
// label point the services do not send.
#include <optional>
#include <vector>

#include "geodata/gis_feature.h"

namespace kl::import {

// A point inside the polygon (outside its holes): the area centroid when it
// lies inside, else the middle of the widest inside run of the horizontal
// line through the centroid. Nothing for a degenerate ring.
std::optional<geo::Point2d> interiorPoint(const geo::Polygon& polygon);

// Gives every feature without a point the interior point of its largest polygon.
void addMissingLabelPoints(std::vector<geo::GisFeature>& features);

}  // namespace kl::import
