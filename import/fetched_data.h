#pragma once
// What one fetch brought into memory, held by the controller until the next
// fetch replaces it.
#include <map>
#include <string>
#include <vector>

#include "buildings/lod_building.h"
#include "import/cloud_ground_stage.h"
#include "geodata/gis_feature.h"
#include "net/raster_tiles.h"
#include "terrain/contour.h"
#include "terrain/terrain_tile.h"

namespace kl::import {

struct FetchedData {
    // Parcels, buildings, plan zones, utilities, in that order; PL-1992 metres.
    std::vector<geo::GisFeature> features;
    // Map image tiles, each in the system it was asked in.
    std::vector<net::RasterTile> rasters;
    // Terrain model heights over the frame in tiles that share their seams,
    // one mesh each; PL-1992 metres, heights above sea level.
    std::vector<terrain::TerrainTile> terrainTiles;
    // Contour lines traced on the terrain model heights of the frame.
    std::vector<terrain::Contour> contours;
    // Terrain tiles, contours and water surfaces of the LiDAR ground grid.
    CloudGround cloudGround;
    // County 3D models of the frame: LOD1 blocks and LOD2 buildings.
    std::vector<buildings::Lod1Building> lod1Buildings;
    std::vector<buildings::Lod2Building> lod2Buildings;
    // Stage problems joined by single spaces, in the order they arose.
    std::string warning;
    // Lines for the host's report window, written once the fetch is back.
    std::vector<std::string> reportLines;

    bool holdsAnything() const {
        return !features.empty() || !rasters.empty() || !terrainTiles.empty() || !contours.empty() ||
               !cloudGround.empty() || !lod1Buildings.empty() || !lod2Buildings.empty();
    }
};

// Appends text to a warning with one space between the parts.
inline void appendWarning(std::string& warning, const std::string& text) {
    if (text.empty()) return;
    if (!warning.empty()) warning += ' ';
    warning += text;
}

// "counts" of the fetch reply: type key -> number of features,
// "<key> (rastr)" -> number of image tiles, "teren (Siatka)" -> terrain
// meshes to come, "poziomice (warstwice)" -> contour lines; the same from
// the LiDAR ground grid: "teren z chmury (Siatka)", "woda z chmury (Siatka)",
// "poziomice z chmury (warstwice)".
std::map<std::string, int> fetchCounts(const FetchedData& data);

}  // namespace kl::import
