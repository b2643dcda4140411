#pragma once
// The outline of a road or bridge deck around its centreline: a ring at the
// given half-widths left and right of the line, with square ends.
#include <vector>

#include "geodata/gis_feature.h"

namespace kl::geo {

// One half-width per centreline vertex on each side. With `uniform` every
// half-width of a side becomes that side's median. Repeated vertices are
// dropped first (they have no direction). At a bend each side meets in a
// mitre, so the band keeps its width through the bend; a mitre longer than
// five half-widths is bevelled, and where the inner side of a sharp bend
// folds over itself the fold is cut away, so the ring never crosses itself
// (the even-odd test would otherwise cut holes into the road). Fewer than two
// distinct vertices give an empty ring.
Ring corridorRing(const std::vector<Point2d>& centreline, const std::vector<double>& leftHalfWidths,
                  const std::vector<double>& rightHalfWidths, bool uniform);

}  // namespace kl::geo
