#pragma once
// The county 3D models placed as bodies: LOD1 blocks as slabs, LOD2
// buildings as morphs, within the import's undo step. A body that fails only
// counts as skipped and never rolls the import back.
#include <map>
#include <set>
#include <string>
#include <vector>

#include "buildings/lod_building.h"
#include "host/sdk/kl_host_api.h"
#include "placement/face_triangulation.h"
#include "placement/place_result.h"
#include "placement/placement_transform.h"

namespace kl::placement {

// What the 3D steps tell the user and leave for diagnosis.
struct BodyReport {
    std::vector<std::string> lines;     // the host's report window
    std::vector<std::string> warnings;  // the import's warning text
    struct DiagnosticFile {
        std::string name;
        std::string text;
        bool append = false;
    };
    std::vector<DiagnosticFile> diagnostics;
};

// Upper-cased ids of the LOD2 buildings that can stand as a body: a LOD1
// block with one of them is left out, the roofed building being the better.
std::set<std::string> lod2BuildingIds(const std::vector<buildings::Lod2Building>& buildings);

// zOff is subtracted from every height; layer is the LOD1 layer.
void placeLod1Blocks(const std::vector<buildings::Lod1Building>& blocks, const std::set<std::string>& lod2Ids,
                     const PlacementTransform& t, double zOff, int32_t layer, PlaceResult& result, BodyReport& report);

// Each building is tried as faces with shared edges, then as triangles with
// shared edges, then as loose triangles: counted as clean, triangulated and
// soup. Returns how the faces were made into polygons.
TriangulationStats placeLod2Buildings(const std::vector<buildings::Lod2Building>& buildings,
                                      const PlacementTransform& t, double zOff, int32_t layer, PlaceResult& result,
                                      BodyReport& report);

// "; blad Morph kod C xN" for each host error code, ascending.
std::string morphErrorTally(const std::map<KlErr, int>& errors);

}  // namespace kl::placement
