#pragma once
#include <cstdint>

namespace kl::cloud {

// One point of the thinned cloud, in metres relative to the project's local origin.
struct CloudPoint {
    double x = 0, y = 0, z = 0;
    uint8_t r = 0, g = 0, b = 0;
};

}  // namespace kl::cloud
