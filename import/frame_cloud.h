#pragma once
// The LiDAR points of the fetch frame for the stages that rebuild kinds from
// the cloud: the frame's tiles looked up and downloaded once, decoded, moved
// to PL-1992 and cut to the frame (or a margin around it), keeping only the
// classes a stage asks for.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "geodata/geometry.h"
#include "import/elevation_stages.h"
#include "cloud/pipeline/tile_processing.h"
#include "net/wfs_client.h"

namespace kl::import {

struct FrameCloudPoint {
    double x, y, z;    // PL-1992 metres; height above sea level
    std::uint8_t cls;  // ASPRS class, without the flag bits of formats 0-5
};

struct FrameCloud {
    std::vector<FrameCloudPoint> points;
    bool cancelled = false;
    int tilesAsked = 0, tilesRead = 0;  // tiles the index listed, tiles whose points are in
};

// More points than this would not fit the worker's memory; the frame must shrink.
inline constexpr std::size_t kMaxFrameCloudPoints = 60'000'000;

// Appends the points of one LAS/LAZ tile (its system tileEpsg) that lie in
// box and whose class keep() wants. A tile that breaks half way, or that
// would pass kMaxFrameCloudPoints, takes its points back out.
cloud::TileOutcome appendTilePoints(const std::string& path, int tileEpsg, const geo::Bbox& box,
                                    const std::function<bool(std::uint8_t cls)>& keep,
                                    std::vector<FrameCloudPoint>& points);

// The points of the frame's tiles within margin metres of the frame (0: the
// frame's own); the tiles asked for are those the margin reaches too.
// Every problem is warned about with the prefix: no tile in the index, a
// tile skipped (its points left out whole), fewer tiles read than listed.
// workingZone: the EPSG code of the project's PL-2000 zone; tiles delivered in
// another PL-2000 zone are skipped and named (0: every zone is read).
// A full disk or too many points leave the cloud empty: the few tiles that
// came must not pass for the frame.
FrameCloud loadFrameCloud(net::WfsClient& client, const geo::Bbox& frame, double margin, int workingZone,
                          int currentYear, const std::string& progressLabel, const std::string& warningPrefix,
                          const StageIo& io, const std::function<bool(std::uint8_t cls)>& keep);

}  // namespace kl::import
