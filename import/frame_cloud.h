#pragma once
// The LiDAR points of the frame that a fetch stage asks for, in PL-1992 with
// their class: the tiles of the national index downloaded and decoded one by
// one, each point converted from the tile's system and kept when it lies in
// the frame and its class is wanted.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "geodata/geometry.h"
#include "import/elevation_stages.h"
#include "net/wfs_client.h"

namespace kl::import {

struct FrameCloudPoint {
    double x, y, z;
    std::uint8_t cls;
};

struct FrameCloud {
    std::vector<FrameCloudPoint> points;
    bool cancelled = false;
    int tilesAsked = 0, tilesRead = 0;  // a cloud of fewer tiles than asked is not the whole frame
};

// workingZone: the PL-2000 zone of the project; tiles in another PL-2000 zone
// are skipped (and said). Every tile that could not be used is warned about
// with warningPrefix, as is an index that did not answer.
FrameCloud loadFrameCloud(net::WfsClient& client, const geo::Bbox& frame, int workingZone,
                          const std::string& progressLabel, const std::string& warningPrefix, const StageIo& io,
                          const std::function<bool(std::uint8_t)>& keep);

}  // namespace kl::import
