#pragma once
// The classified LiDAR points of a fetch's frame, for the stages that rebuild
// terrain and buildings from the cloud: the tiles of the national index are
// downloaded through the cache and decoded, and the points of the kept
// classes inside the frame are held in PL-1992.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "geodata/geometry.h"
#include "import/elevation_stages.h"
#include "net/wfs_client.h"

namespace kl::import {

struct FrameCloudPoint {
    double x, y, z;  // PL-1992 metres, height above sea level
    std::uint8_t cls;  // ASPRS classification
};

struct FrameCloud {
    std::vector<FrameCloudPoint> points;
    bool cancelled = false;  // stopped early; the points are incomplete
    int tilesAsked = 0;      // tiles the index listed for the frame
    int tilesRead = 0;       // tiles whose points are held
};

// workingZone: the EPSG code of the project's PL-2000 zone; tiles delivered
// in another PL-2000 zone are skipped with a warning (their heights belong to
// a survey the working one does not match). Progress goes under
// progressLabel, per tile; every warning starts with warningPrefix. A tile
// that cannot be downloaded or read is named in a warning and left out
// whole, so the cloud never holds half a sheet.
FrameCloud loadFrameCloud(net::WfsClient& client, const geo::Bbox& frame, int workingZone,
                          const std::string& progressLabel, const std::string& warningPrefix, const StageIo& io,
                          const std::function<bool(std::uint8_t)>& keep);

}  // namespace kl::import
