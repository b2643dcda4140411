#pragma once
// One classified point of the LiDAR cloud, as the rebuilding kernels read it.
#include <cstdint>

namespace kl::buildings {

struct CloudPoint {
    double x = 0, y = 0, z = 0;  // PL-1992 metres, height above sea level
    std::uint8_t cls = 0;        // ASPRS classification
};

inline constexpr std::uint8_t kGroundClass = 2;

// Low noise (7) and high noise (18) are returns from birds, dust and
// multipath: never a roof, never ground.
constexpr bool isNoiseClass(std::uint8_t cls) { return cls == 7 || cls == 18; }

}  // namespace kl::buildings
