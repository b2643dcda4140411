#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kl::placement {

// What one "Import GIS" command placed.
struct PlaceResult {
    std::map<std::string, int32_t> counts;  // count key -> placed features
    int32_t skipped = 0;                    // features or bodies that failed
    std::string error;                      // non-empty: the whole command is rolled back
    std::vector<std::string> warnings;      // Polish; what was placed short of what was asked
    bool hasExtent = false;
    double minX = 0, minY = 0, maxX = 0, maxY = 0;  // project metres of placed vector vertices

    void widen(double x, double y) {
        if (!hasExtent) {
            minX = maxX = x;
            minY = maxY = y;
            hasExtent = true;
            return;
        }
        if (x < minX) minX = x;
        if (x > maxX) maxX = x;
        if (y < minY) minY = y;
        if (y > maxY) maxY = y;
    }
};

}  // namespace kl::placement
