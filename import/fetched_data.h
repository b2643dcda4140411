#pragma once
// What one fetch brought into memory, held by the controller until the next
// fetch replaces it.
#include <map>
#include <string>
#include <vector>

#include "buildings/lod2fit/roof_model.h"
#include "buildings/lod_building.h"
#include "buildings/reconstruction_result.h"
#include "import/cloud_ground_stage.h"
#include "geodata/gis_feature.h"
#include "import/osm_corridor_stage.h"
#include "net/raster_tiles.h"
#include "terrain/contour.h"
#include "terrain/terrain_tile.h"

namespace kl::import {

// Shapes rebuilt from elevation data on the LOD1 footprints, one per
// footprint in their order (empty when the stage made none), and the
// stage's line for the diagnostic file of the layer.
struct RebuiltLayer {
    std::vector<buildings::ReconstructionResult> items;
    std::string diagnostic;
};

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
    // The LOD1 blocks were asked for themselves, not only as footprints to rebuild on.
    bool lod1Requested = false;
    // "budynkindsm" blocks from the surface models, "dachychmura" roofs from the cloud.
    RebuiltLayer surfaceModelBlocks, cloudRoofs;
    // LOD1 footprints rebuilt with fitted roofs from the LiDAR cloud.
    buildings::lod2fit::Lod2Reconstruction lod2Reconstruction;
    // OpenStreetMap bridge decks and road surfaces.
    CorridorBodies corridors;
    // Stage problems joined by single spaces, in the order they arose.
    std::string warning;
    // Lines for the host's report window, written once the fetch is back.
    std::vector<std::string> reportLines;

    bool holdsAnything() const {
        return !features.empty() || !rasters.empty() || !terrainTiles.empty() || !contours.empty() ||
               (lod1Requested && !lod1Buildings.empty()) || !lod2Buildings.empty() || !surfaceModelBlocks.items.empty() ||
               !cloudRoofs.items.empty() ||
               !lod2Reconstruction.buildings.empty() ||
               !corridors.bridges.empty() || !corridors.roads.empty() ||
               !cloudGround.empty();
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
