#include "tools/geoportal/lidar_ground_features.h"

#include <algorithm>

#include "tools/geoportal/demo_river.h"
#include "tools/geoportal/geometry.h"
#include "tools/geoportal/lidar_sheets.h"

namespace kl::geoportal {
namespace {

// Height of the embankment above the plain ground: a crest, then slopes down to its foot.
double embankment(Xy p) {
    const double d = distanceToSegment(p, demo::kEmbankmentFrom, demo::kEmbankmentTo);
    if (d <= demo::kEmbankmentCrest) return demo::kEmbankmentHeight;
    if (d >= demo::kEmbankmentFoot) return 0.0;
    return demo::kEmbankmentHeight * (demo::kEmbankmentFoot - d) / (demo::kEmbankmentFoot - demo::kEmbankmentCrest);
}

}  // namespace

double shapeDemoTerrain(Xy p, double plain) { return cutRiverBed(p, plain + embankment(p)); }

void shapeDemoGround(Xy p, double& z, std::uint8_t& cls) {
    if (inDemoRiver(p)) {
        // The laser returns from the water surface; nothing stands in the river.
        z = demo::kRiverLevel;
        cls = kAsprsWater;
        return;
    }
    // The sample's own river lies elsewhere; its returns repeated over the
    // site would scatter puddles at every height.
    if (cls == kAsprsWater) cls = kAsprsGround;
    const Box& w = demo::kWarehouse;
    if (p.x >= w.minX && p.x < w.maxX && p.y >= w.minY && p.y < w.maxY) {
        z = demoGroundHeight(p) + demo::kWarehouseRoof;
        cls = kAsprsBuilding;
        return;
    }
    // Whatever stands on the embankment stands higher, still within the heights the tiles promise.
    z = std::min(z, demo::kLidarMaxHeight);
}

}  // namespace kl::geoportal
