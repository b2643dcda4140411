#pragma once
// County cadastre services send parcels as bare polygons, so a parcel would
// never get its number printed. A point inside the parcel stands in for the
// label point the services do not send.
#include <vector>

#include "geodata/gis_feature.h"

namespace kl::import {

// Gives every feature without a point the interior point of its largest polygon.
void addMissingLabelPoints(std::vector<geo::GisFeature>& features);

}  // namespace kl::import
