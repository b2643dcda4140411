#include "tools/geoportal/lidar_ground_features.h"

#include <algorithm>
#include <cmath>

#include "tools/geoportal/lidar_sheets.h"

namespace kl::geoportal {
namespace {

double distanceToEmbankment(Xy p) {
    const Xy a = demo::kEmbankmentFrom, b = demo::kEmbankmentTo;
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double t = std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
    return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

// Height of the embankment above the plain ground: a crest, then slopes down to its foot.
double embankment(Xy p) {
    const double d = distanceToEmbankment(p);
    if (d <= demo::kEmbankmentCrest) return demo::kEmbankmentHeight;
    if (d >= demo::kEmbankmentFoot) return 0.0;
    return demo::kEmbankmentHeight * (demo::kEmbankmentFoot - d) / (demo::kEmbankmentFoot - demo::kEmbankmentCrest);
}

}  // namespace

double demoPondLevel() {
    return std::round((demoGroundHeight(demo::kPondCentre) - demo::kPondBelowGround) * 100.0) / 100.0;
}

void shapeDemoGround(Xy p, double& z, std::uint8_t& cls) {
    if (std::hypot(p.x - demo::kPondCentre.x, p.y - demo::kPondCentre.y) < demo::kPondRadius) {
        // The laser returns from the water surface; nothing stands in the pond.
        z = demoPondLevel();
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
    z = std::min(z + embankment(p), demo::kLidarMaxHeight);
}

}  // namespace kl::geoportal
