#pragma once
// The demo site's buildings as 3D models, as the county LOD1 and LOD2
// packages publish them: the cadastre's footprints standing on the demo
// terrain (the ground the LiDAR tiles are measured on), three metres a storey,
// houses and outbuildings on plain rectangles under a gabled roof, everything
// else flat-roofed. Courtyards stay holes in the ground and roof faces.

#include "tools/geoportal/demo_area.h"

#include <string>
#include <vector>

namespace kl::geoportal {

struct Xyz {
    double x = 0, y = 0, z = 0;
};

enum class ModelSurface { Ground, Wall, Roof };

struct ModelFace {
    ModelSurface surface = ModelSurface::Wall;
    std::vector<Xyz> exterior;            // open
    std::vector<std::vector<Xyz>> holes;  // open
};

struct ModelBuilding {
    std::string id;          // gml:id, from the cadastre's building id
    double ground = 0;       // lowest terrain height under the footprint
    double height = 0;       // ground to the highest point
    int roofType = 1000;     // CityGML code: 1000 flat, 1030 gabled
    bool inPart = false;     // its geometry sits in one BuildingPart
    Xy centre;               // mean of the footprint's points
    std::vector<ModelFace> lod1;  // block: ground, walls, flat top at ground + height
    std::vector<ModelFace> lod2;  // ground, walls, roof planes
};

// One per polygon building of the demo cadastre, in its order. The first
// building with an L-shaped outline keeps its geometry in a BuildingPart.
std::vector<ModelBuilding> demoModelBuildings(const DemoArea& area);

}  // namespace kl::geoportal
