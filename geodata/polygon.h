#pragma once
// Plane polygon predicates shared by every module that decides what lies
// where: which commune holds a point, whether a feature meets the frame, where
// a parcel's number goes.
#include <optional>
#include <span>
#include <vector>

#include "geodata/gis_feature.h"

namespace kl::geo {

// The smallest box holding every point; there must be at least one.
Bbox ringBounds(std::span<const Point2d> ring) noexcept;

// Shoelace area, positive for a counter-clockwise ring.
double signedArea(const Ring& ring);

// Even-odd test; a point on the boundary may fall either way.
bool ringContains(const Ring& ring, Point2d p);

// Eastings where the ring's edges cross the horizontal line at northing y,
// ascending, by the same rule as ringContains: a point (x, y) is inside
// exactly when x lies in [xs[2k], xs[2k+1]) for some k.
std::vector<double> sortedCrossings(const Ring& ring, double y);

// Inside the exterior ring and in none of the holes.
bool polygonContains(const Polygon& polygon, Point2d p);

// Inside any of the polygons.
bool polygonsContain(const std::vector<Polygon>& polygons, Point2d p);

// A point inside the polygon (outside its holes): the area centroid when it
// lies inside, else the middle of the widest inside run of the horizontal
// line through the centroid. Nothing for a degenerate ring.
std::optional<Point2d> interiorPoint(const Polygon& polygon);

}  // namespace kl::geo
