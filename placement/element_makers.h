#pragma once
// The 2D elements of an import, created through the host on the main thread
// inside the import's undo step. Each maker returns the host's error code; a
// shape with too few points creates nothing and returns 0.
#include <cmath>
#include <functional>
#include <limits>
#include <string_view>
#include <vector>

#include "geodata/geometry.h"
#include "host/sdk/kl_host_api.h"
#include "placement/fill_patterns.h"
#include "placement/host_memo.h"

namespace kl::placement {

using Points = std::vector<geo::Point2d>;

struct Rgb {
    int r = -1, g = -1, b = -1;  // a negative component means no colour override
    bool set() const { return r >= 0 && g >= 0 && b >= 0; }
};

KlErr makePolyline(const Points& points, int32_t layer, int32_t pen);
KlErr makeSolidFill(FillPatterns& fills, const Points& outer, const std::vector<Points>& holes, int32_t layer,
                    int32_t pen, Rgb colour);
KlErr makeNamedHatch(FillPatterns& fills, const Points& outer, const std::vector<Points>& holes, int32_t layer,
                     int32_t pen, std::string_view patternName, Rgb colour);
// angle NaN keeps the host's default angle.
KlErr makeText(geo::Point2d anchor, std::string_view text, int32_t layer, int32_t pen, double size,
               double angle = std::numeric_limits<double>::quiet_NaN());

// A picture's rectangle origin..origin+(width, height), turned by angle
// (radians, counter-clockwise) about the origin.
struct PictureBox {
    geo::Point2d origin;
    double width = 0, height = 0, angle = 0;
};

// bytes: a PNG or JPEG file as mimeType says; empty bytes create nothing.
KlErr makePicture(const PictureBox& box, std::string_view mimeType, std::string_view bytes, int32_t layer);

// Starts from the host's defaults for the type, lets set() fill the record,
// allocates the memo for the given rings (and text, or picture bytes) and
// creates the element; guid, when given, receives the new element's.
KlErr createElement(int32_t type, const std::function<void(KlElement&)>& set, const std::vector<Points>& rings,
                    std::string_view text = {}, std::string_view data = {}, KlGuid* guid = nullptr);

// A ring whose last point differs from its first gets the first appended.
Points closedRing(Points ring);

}  // namespace kl::placement
