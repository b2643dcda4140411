#include "cloud/pipeline/tile_to_pl1992.h"

#include "geodata/polish_crs.h"

namespace kl::cloud {
namespace {

constexpr double kZoneMargin = 2.0;

}  // namespace

TileToPl1992::TileToPl1992(const geo::Bbox& frame, int tileEpsg)
    : epsg_(tileEpsg), zoneTile_(geo::isPl2000Epsg(tileEpsg)) {
    if (!zoneTile_) return;
    zoneBox_ = geo::pl2000BoxFromPl1992(frame, tileEpsg);
    zoneBox_.minX -= kZoneMargin;
    zoneBox_.minY -= kZoneMargin;
    zoneBox_.maxX += kZoneMargin;
    zoneBox_.maxY += kZoneMargin;
}

bool TileToPl1992::apply(double& x, double& y) const {
    if (!zoneTile_) return true;
    if (x < zoneBox_.minX || x > zoneBox_.maxX || y < zoneBox_.minY || y > zoneBox_.maxY) return false;
    const geo::Point2d p = geo::pl2000ToPl1992(x, y, epsg_);
    x = p.x;
    y = p.y;
    return true;
}

}  // namespace kl::cloud
