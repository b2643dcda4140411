#pragma once
// The extent a CityGML sheet declares: its first gml:Envelope.
#include <optional>
#include <string_view>

#include "geodata/geometry.h"

namespace kl::buildings {

// lowerCorner and upperCorner must both give at least one (x, y, z) triple.
// The text may be the first bytes of a sheet cut anywhere: an Envelope is
// only taken once its closing tag has arrived, so a corner cut mid-number is
// never read.
std::optional<geo::Bbox> sheetExtent(std::string_view text);

}  // namespace kl::buildings
