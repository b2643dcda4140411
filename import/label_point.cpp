#include "import/label_point.h"

#include <algorithm>
#include <cmath>

#include "geodata/polygon.h"

namespace kl::import {

void addMissingLabelPoints(std::vector<geo::GisFeature>& features) {
    for (geo::GisFeature& f : features) {
        if (f.hasPoint || f.polygons.empty()) continue;
        const auto largest = std::max_element(f.polygons.begin(), f.polygons.end(), [](const auto& a, const auto& b) {
            return std::abs(geo::signedArea(a.exterior)) < std::abs(geo::signedArea(b.exterior));
        });
        if (const auto p = geo::interiorPoint(*largest)) {
            f.point = *p;
            f.hasPoint = true;
        }
    }
}

}  // namespace kl::import
