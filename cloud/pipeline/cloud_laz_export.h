#pragma once
// The kept cloud as a LAZ file for tools that do not read E57: absolute
// PL-2000 coordinates at millimetre resolution, RGB, and the zone named in
// the GeoTIFF keys readers look for.
#include <cstdint>
#include <string>
#include <vector>

#include "cloud/e57/cloud_point.h"
#include "cloud/las/las_header.h"
#include "cloud/las/las_status.h"

namespace kl::cloud {

struct LazPlacement {
    double originE = 0, originN = 0, originZ = 0;  // added to the local coordinates
    int epsg = 0;                                  // the projected system of the result
};

inline constexpr double kLazScale = 0.001;

// The header the file is written with (format 2, LAS 1.2, offset = origin in
// whole metres, the GeoKey VLR); counts and bounds are the writer's business.
las::LasHeader cloudLazHeader(const LazPlacement& placement);

// Writes through the writer's temporary name; the target is replaced only
// on success and nothing is left behind otherwise.
las::LasStatus writeCloudLaz(const std::string& path, const std::vector<CloudPoint>& points, const LazPlacement& placement);

}  // namespace kl::cloud
