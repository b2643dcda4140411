#pragma once
// The ways of an Overpass answer ("out geom"), as centrelines in PL-1992.
#include <string>
#include <string_view>
#include <vector>

#include "geodata/geometry.h"

namespace kl::net {

struct OsmWay {
    std::string cls;   // "highway" tag, else "railway" tag
    std::string name;  // may be empty
    bool bridge = false;
    double width = 0.0;  // carriageway, metres
    std::vector<geo::Point2d> points;  // PL-1992, node order, at least 2
};

struct OverpassWays {
    std::vector<OsmWay> ways;
    bool readable = false;  // a JSON object with an "elements" array
    // Overpass says in "remark" when it stopped early (time-out, memory): the
    // ways that came are then only part of the frame.
    std::string remark;
    int withoutGeometry = 0;  // ways left out: no geometry or fewer than 2 points
};

OverpassWays parseOverpassWays(std::string_view json);

}  // namespace kl::net
