#pragma once
// Whether a footprint can carry a rebuilt shape at all, and its extent.
#include <optional>
#include <vector>

#include "geodata/geometry.h"
#include "geodata/gis_feature.h"

namespace kl::buildings {

// The footprint's box; nothing for fewer than three vertices, a vertex that
// is not finite or a ring without area (all on one line), none of which
// bounds anything a face could stand on.
std::optional<geo::Bbox> footprintBox(const geo::Ring& ring);

// The element at index size/2 once ordered (the upper median); the values
// are reordered. The vector must not be empty.
double upperMedian(std::vector<double>& values);

}  // namespace kl::buildings
