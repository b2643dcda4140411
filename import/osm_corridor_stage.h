#pragma once
// "mosty" and "drogi": the OpenStreetMap centrelines of the frame widened to
// corridors and covered with the elevation models' heights, bridge decks on
// the surface model and roads on the terrain model.
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

// terrainSheets: the fetch's terrain model sheets (loaded once for every
// stage that needs them). The surface model sheets are loaded here. Every
// problem is warned about; nothing is returned half-made: without either
// model no body is made at all.
CorridorBodies fetchCorridorBodies(net::WfsClient& client, const CorridorRequest& request,
                                   const TerrainSheets& terrainSheets, const StageIo& io);

}  // namespace kl::import
