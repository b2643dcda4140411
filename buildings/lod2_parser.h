#pragma once
// LOD2 buildings from one CityGML sheet: every polygon of a building as a face
// with its holes, marked with the thematic surface that holds it.
#include <string_view>

#include "buildings/lod1_parser.h"
#include "buildings/lod_building.h"
#include "geodata/geometry.h"

namespace kl::buildings {

// Faces come from gml:Polygon elements in document order: the exterior
// LinearRing and every interior one as a hole. A polygon whose exterior or
// any hole cannot be read whole is left out (a face without its hole would
// cover the courtyard). Polygons referenced by xlink are not followed, so a
// solid that only points at its surfaces adds nothing twice. A building with
// no face, or whose faces all lie outside the frame, is not returned.
SheetBuildings<Lod2Building> parseLod2Buildings(std::string_view sheet, const geo::Bbox& frame);

}  // namespace kl::buildings
