#pragma once
// LOD1 blocks from one CityGML sheet: each building reduced to its ground
// footprint, its lowest height and its height.
#include <string_view>
#include <vector>

#include "buildings/lod_building.h"
#include "geodata/geometry.h"

namespace kl::buildings {

template <class Building>
struct SheetBuildings {
  std::vector<Building> buildings;  // those that meet the frame, in document order
  int unusable = 0;                 // buildings left out for want of geometry or height
  bool wellFormed = true;           // false: not XML, or cut short; nothing is read from it
};

// The footprint is the largest ring lying at the building's lowest height
// (within 1 cm), else the ring of lowest mean height. The height is
// measuredHeight when above 0, else the spread of the building's heights.
// A text that is not well-formed XML gives nothing (a damaged sheet is
// reported whole, never read in part).
SheetBuildings<Lod1Building> parseLod1Buildings(std::string_view sheet, const geo::Bbox& frame);

}  // namespace kl::buildings
