#pragma once
// Plain DXF R12 text for the elements of a placed project, so that the
// result opens in any CAD program. Fills become closed outlines (R12 has no
// hatch entity), one per ring; 3D bodies become 3D faces.
#include <cstddef>
#include <string>
#include <vector>

#include "geodata/geometry.h"

namespace kl::tools {

struct DxfEntity {
    enum class Kind { Polyline, Text, Face } kind = Kind::Polyline;
    std::string layer;
    std::vector<geo::Point2d> points;  // polyline vertices, or the text anchor first
    bool closed = false;
    std::string text;      // UTF-8
    double height = 1.0;   // text height, drawing units
    double angle = 0.0;    // text rotation, radians counter-clockwise
    double elevation = 0.0;  // z of every point (a contour sits at its level)
    std::vector<double> heights{};  // a face: the z of each of its 3 or 4 points
};

// The whole DXF document; layers are declared in order of first use.
std::string dxfDocument(const std::vector<DxfEntity>& entities);

// Non-ASCII characters as the \U+XXXX escapes DXF readers decode.
std::string dxfText(const std::string& utf8);

}  // namespace kl::tools
