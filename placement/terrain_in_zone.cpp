#include "placement/terrain_in_zone.h"

#include "geodata/polish_crs.h"

namespace kl::placement {

// Only the corners are converted; the nodes between them follow bilinearly.
// Over a 200 m tile that is within 0.05 mm of converting every node (41 um
// measured at the east edge of zone 2179) and takes a fraction of the time,
// and it puts every node exactly inside its outline, the seam nodes of two
// neighbours on the very same spot.
std::vector<placement::MeshGrid> tilesInZone(const std::vector<terrain::TerrainTile>& tiles, int zoneEpsg) {
    std::vector<placement::MeshGrid> out;
    out.reserve(tiles.size());
    for (const terrain::TerrainTile& tile : tiles) {
        placement::MeshGrid grid;
        grid.corners = frameInZone({tile.minX, tile.minY, tile.maxX, tile.maxY}, zoneEpsg);
        const auto& [c0, c1, c2, c3] = grid.corners;
        const double width = tile.maxX - tile.minX, height = tile.maxY - tile.minY;
        grid.points.reserve(tile.points.size());
        for (const terrain::TerrainPoint& p : tile.points) {
            const double u = width > 0 ? (p.x - tile.minX) / width : 0.0;
            const double v = height > 0 ? (p.y - tile.minY) / height : 0.0;
            const double w0 = (1 - u) * (1 - v), w1 = u * (1 - v), w2 = u * v, w3 = (1 - u) * v;
            grid.points.push_back({w0 * c0.x + w1 * c1.x + w2 * c2.x + w3 * c3.x,
                                   w0 * c0.y + w1 * c1.y + w2 * c2.y + w3 * c3.y, p.height});
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

placement::CloudGroundPlacement cloudGroundInZone(const import::CloudGround& ground, const geo::Bbox& frame, int zoneEpsg) {
    placement::CloudGroundPlacement out;
    out.terrain = tilesInZone(ground.terrainTiles, zoneEpsg);
    out.contours = contoursInZone(ground.contours, zoneEpsg);
    out.frame = frameInZone(frame, zoneEpsg);
    out.water.level = ground.water.level;
    out.water.outlines = ground.water.outlines;
    for (terrain::Ring& ring : out.water.outlines)
        for (geo::Point2d& p : ring) p = geo::pl1992ToPl2000(p.x, p.y, zoneEpsg);
    return out;
}

double terrainBaseHeight(const BaseHeightSources& s) {
    if (s.elevationModelOffset) return *s.elevationModelOffset;
    if (s.cloudOffset) return *s.cloudOffset;
    if (s.surveyPointHeight && *s.surveyPointHeight != 0.0) return *s.surveyPointHeight;
    if (s.zAnchor) return *s.zAnchor;
    return 0.0;
}

}  // namespace kl::placement
