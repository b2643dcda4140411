#include "import/terrain_in_zone.h"

#include "geodata/polish_crs.h"

namespace kl::import {

std::vector<placement::MeshGrid> tilesInZone(const std::vector<terrain::TerrainTile>& tiles, int zoneEpsg) {
    std::vector<placement::MeshGrid> out;
    out.reserve(tiles.size());
    for (const terrain::TerrainTile& tile : tiles) {
        placement::MeshGrid grid;
        grid.corners = frameInZone({tile.minX, tile.minY, tile.maxX, tile.maxY}, zoneEpsg);
        grid.points.reserve(tile.points.size());
        for (const terrain::TerrainPoint& p : tile.points) {
            const geo::Point2d q = geo::pl1992ToPl2000(p.x, p.y, zoneEpsg);
            grid.points.push_back({q.x, q.y, p.height});
        }
        out.push_back(std::move(grid));
    }
    return out;
}

std::vector<terrain::Contour> contoursInZone(const std::vector<terrain::Contour>& contours, int zoneEpsg) {
    std::vector<terrain::Contour> out(contours);
    for (terrain::Contour& c : out)
        for (auto& [x, y] : c.points) {
            const geo::Point2d q = geo::pl1992ToPl2000(x, y, zoneEpsg);
            x = q.x;
            y = q.y;
        }
    return out;
}

placement::MeshCorners frameInZone(const geo::Bbox& frame, int zoneEpsg) {
    placement::MeshCorners corners = placement::cornersOf(frame.minX, frame.minY, frame.maxX, frame.maxY);
    for (geo::Point2d& c : corners) c = geo::pl1992ToPl2000(c.x, c.y, zoneEpsg);
    return corners;
}

double terrainBaseHeight(const BaseHeightSources& s) {
    if (s.elevationModelOffset) return *s.elevationModelOffset;
    if (s.cloudOffset) return *s.cloudOffset;
    if (s.surveyPointHeight && *s.surveyPointHeight != 0.0) return *s.surveyPointHeight;
    if (s.zAnchor) return *s.zAnchor;
    return 0.0;
}

}  // namespace kl::import
