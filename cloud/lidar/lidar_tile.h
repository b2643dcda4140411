#pragma once
#include <string>

namespace kl::cloud {

// One record of the national LiDAR tile index.
struct LidarTile {
    std::string godlo;    // sheet name
    std::string url;      // download address of the LAZ file, always http(s)
    double density = 0;   // points per square metre, 0 when not given
    int epsg = 0;         // 2180, 2176..2179, or 0 when not recognised
};

}  // namespace kl::cloud
