#pragma once
// Coordinate systems the fixture answers in. Points are always (x, y) =
// (easting, northing) or (longitude, latitude); axis order is only a matter of
// how numbers are written in requests and answers.

#include "tools/geoportal/demo_area.h"

#include <string_view>

namespace kl::geoportal {

// 2180, 2176..2179, 4326 and (for map images) 3857.
bool isKnownEpsg(int epsg);
// Whether the EPSG definition puts northing (or latitude) first.
bool northingFirstByDefinition(int epsg);
// EPSG code named in a CRS text ("EPSG:2180", "urn:ogc:def:crs:EPSG::2180",
// ".../def/crs/EPSG/0/2180", "CRS:84"), 0 when none. A bare number counts too.
int epsgFromCrsText(std::string_view text);
// Whether a CRS text is of the URN/URI kind whose axis order is the official one.
bool isUrnStyleCrs(std::string_view text);

Xy toPl1992(int epsg, Xy p);
Xy fromPl1992(int epsg, Xy p);
// Bounding box in PL-1992 of a box given in another system (all four corners).
Box boxToPl1992(int epsg, const Box& box);

}  // namespace kl::geoportal
