#pragma once
// "mosty" and "drogi": the OpenStreetMap centrelines of the frame widened to
// corridors and covered with the elevation models' heights, bridge decks on
// the surface model and roads on the terrain model.
#include <functional>
#include <string>
#include <vector>

#include "buildings/reconstruction_result.h"
#include "geodata/geometry.h"
#include "import/elevation_stages.h"
#include "net/wfs_client.h"

namespace kl::import {

struct CorridorBodies {
    std::vector<buildings::ReconstructionResult> bridges;  // in way order
    std::vector<buildings::ReconstructionResult> roads;
    // What the diagnostic file says about each layer's fetch.
    std::string bridgeDiagnostic;
    std::string roadDiagnostic;
};

struct CorridorRequest {
    geo::Bbox frame;
    bool bridges = false;
    bool roads = false;
    int currentYear = 0;
};

// The fetch's terrain model sheets, loaded once for every stage that needs them.
using TerrainSheetsSource = std::function<const TerrainSheets&()>;

// terrainSheets is asked for only when the frame has ways: the sheets are
// large downloads, useless when the ways did not come. The surface model
// sheets are loaded here. Every problem is warned about; nothing is returned
// half-made: without either model no body is made at all.
CorridorBodies fetchCorridorBodies(net::WfsClient& client, const CorridorRequest& request,
                                   const TerrainSheetsSource& terrainSheets, const StageIo& io);

}  // namespace kl::import
