#pragma once
// The ground of a fetch (PL-1992) moved into the PL-2000 zone the project
// is placed in, and the height that becomes the project's zero.
#include <optional>
#include <vector>

#include "geodata/geometry.h"
#include "import/cloud_ground_stage.h"
#include "placement/cloud_ground_placement.h"
#include "placement/terrain_mesh.h"
#include "terrain/contour.h"
#include "terrain/terrain_tile.h"

namespace kl::placement {

// Each tile's own node extent becomes its outline; the corners are moved one
// by one, so neighbours keep sharing their seam exactly.
std::vector<placement::MeshGrid> tilesInZone(const std::vector<terrain::TerrainTile>& tiles, int zoneEpsg);
std::vector<terrain::Contour> contoursInZone(const std::vector<terrain::Contour>& contours, int zoneEpsg);
placement::MeshCorners frameInZone(const geo::Bbox& frame, int zoneEpsg);
// The base height is left for the caller.
placement::CloudGroundPlacement cloudGroundInZone(const import::CloudGround& ground, const geo::Bbox& frame, int zoneEpsg);

// Where the height of the project's zero can come from, each when known.
struct BaseHeightSources {
    std::optional<double> elevationModelOffset;  // the fetch brought elevation-model tiles
    std::optional<double> cloudOffset;           // the fetch brought grids from the point cloud
    std::optional<double> surveyPointHeight;     // read from the project without error
    std::optional<double> zAnchor;               // stored in the settings for this site
};

// The first of: the elevation-model offset, the point-cloud offset, a
// survey point height other than 0, the stored anchor; else 0.
double terrainBaseHeight(const BaseHeightSources& sources);

}  // namespace kl::placement
