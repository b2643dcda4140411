#pragma once
// "terenchmura", "poziomicechmura" and "wodachmura": one LiDAR download for
// the frame, the ground grid of its ground and water points, and from that
// grid the terrain tiles, the contour lines and the flat water surfaces.
#include <string>
#include <vector>

#include "geodata/geometry.h"
#include "import/elevation_stages.h"
#include "import/frame_cloud.h"
#include "net/wfs_client.h"
#include "terrain/contour.h"
#include "terrain/terrain_tile.h"
#include "terrain/water_outlines.h"

namespace kl::import {

// More nodes per axis make a mesh the host places too slowly (4 x 4 tiles of 200).
inline constexpr int kMaxCloudGridNodes = 800;

struct CloudGround {
    std::vector<terrain::TerrainTile> terrainTiles;  // PL-1992, heights above sea level
    std::vector<terrain::Contour> contours;
    terrain::WaterSurface water;

    bool empty() const { return terrainTiles.empty() && contours.empty() && water.outlines.empty(); }
};

struct CloudGroundRequest {
    bool terrain = false;   // "terenchmura"
    bool contours = false;  // "poziomicechmura"
    bool water = false;     // "wodachmura"
    double step = 1.0;      // the page's "terenChmuraKrok"
    double interval = 1.0;  // the page's "poziomiceCiecie"
    bool smooth = false;    // the page's "poziomiceWygladz"
    int currentYear = 0;
};

struct CloudGroundStage {
    CloudGround ground;
    bool cancelled = false;
};

// The grid step for the frame: the requested one (1 m when not positive),
// grown until neither axis has more than 800 nodes; warns when it grew.
double cloudGridStep(const geo::Bbox& frame, double requested, const StageIo& io);

// How far beyond the frame the grid of `step` metres wants the points: half
// a step, so that a node on the frame's edge has the ground on both sides of
// it like every other node (with the inner side only, its median would lean
// a quarter step up or down a slope). The frame's tiles reach that far.
double cloudGroundMargin(double step);

// The products of the frame's ground (class 2) and water (class 9) points on
// a grid of `step` metres, with the warnings of what is missing. The points
// within cloudGroundMargin(step) of the frame count too; the nodes are the
// frame's alone.
CloudGroundStage cloudGroundFromPoints(std::vector<FrameCloudPoint>&& points, const geo::Bbox& frame, double step,
                                       const CloudGroundRequest& request, const StageIo& io);

// The frame's LiDAR tiles read once, then the above; contours only for an
// allowed interval.
CloudGroundStage fetchCloudGround(net::WfsClient& client, const geo::Bbox& frame, const CloudGroundRequest& request,
                                  const StageIo& io);

}  // namespace kl::import
