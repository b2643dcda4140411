#pragma once
// Polylines and texts as the duplicate cleanup compares them, read from the
// host's elements.
#include <cstdint>
#include <string>
#include <vector>

#include "host/sdk/kl_host_api.h"

namespace kl::cleanup {

struct PolylineRecord {
    KlGuid guid{};
    int32_t layer = 0;
    std::vector<KlCoord> vertices;
    // One angle per segment (vertex i to i + 1), 0 for a straight one.
    std::vector<double> segmentAngles;
};

struct TextRecord {
    KlGuid guid{};
    int32_t layer = 0;
    KlCoord location{};
    std::string content;
};

struct Drawing {
    std::vector<PolylineRecord> polylines;
    std::vector<TextRecord> texts;
};

}  // namespace kl::cleanup
