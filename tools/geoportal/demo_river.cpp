#include "tools/geoportal/demo_river.h"

#include <algorithm>
#include <cmath>

#include "tools/geoportal/geometry.h"
#include "tools/geoportal/lidar_sheets.h"

namespace kl::geoportal {
namespace {

double distanceToAxis(Xy p) { return distanceToSegment(p, demo::kRiverFrom, demo::kRiverTo); }

}  // namespace

bool inDemoRiver(Xy p) { return distanceToAxis(p) < demo::kRiverHalfWidth; }

double cutRiverBed(Xy p, double plain) {
    const double fromWater = distanceToAxis(p) - demo::kRiverHalfWidth;
    if (fromWater >= demo::kRiverBank) return plain;
    if (fromWater <= 0) return demo::kRiverLevel;
    return std::min(plain, demo::kRiverLevel + (plain - demo::kRiverLevel) * fromWater / demo::kRiverBank);
}

std::optional<double> demoBridgeDeck(Xy p) {
    if (p.x < demo::kBridgeWest || p.x >= demo::kBridgeEast ||
        std::abs(p.y - demo::kBridgeNorthing) >= demo::kBridgeHalfWidth)
        return std::nullopt;
    const double west = demoGroundHeight({demo::kBridgeWest, demo::kBridgeNorthing});
    const double east = demoGroundHeight({demo::kBridgeEast, demo::kBridgeNorthing});
    return west + (east - west) * (p.x - demo::kBridgeWest) / (demo::kBridgeEast - demo::kBridgeWest);
}

}  // namespace kl::geoportal
