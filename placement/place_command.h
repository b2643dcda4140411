#pragma once
// "2. Dodaj do projektu": the stored features moved into the project's grid
// and drawn inside one undo step "Import GIS". A fatal failure of the
// drawing rolls the whole step back, so the project stays exactly as it was.
#include <vector>

#include <string>

#include "buildings/lod2fit/roof_model.h"
#include "buildings/lod_building.h"
#include "geodata/geometry.h"
#include "geodata/gis_feature.h"
#include "geodata/polish_crs.h"
#include "host/sdk/kl_host_api.h"
#include "placement/corridor_placement.h"
#include "net/raster_tiles.h"
#include "placement/cloud_ground_placement.h"
#include "placement/place_result.h"
#include "placement/placement_transform.h"
#include "placement/reconstructed_bodies.h"
#include "placement/terrain_placement.h"
#include "shell/settings/settings.h"

namespace kl::placement {

inline constexpr const char* kImportStepName = "Import GIS";

// Copies of the features with every vertex and label point converted from
// PL-1992 into the PL-2000 zone zoneEpsg.
std::vector<geo::GisFeature> featuresInZone(const std::vector<geo::GisFeature>& features, int zoneEpsg);

// Project origin at the survey point (working-zone metres), north up.
placement::PlacementTransform transformForSurveyPoint(geo::Point2d surveyPoint);

// The county 3D models of the frame, in the working zone, and the height
// taken off every z so that the site stands at the project's zero.
// Shapes of one kind rebuilt on the LOD1 footprints, in the working zone.
struct RebuiltBodies {
    placement::ReconstructedKind kind;
    std::vector<placement::ReconstructedItem> items;
    std::string fetchDiagnostic;
};

struct BuildingModels {
    std::vector<buildings::Lod1Building> lod1;
    std::vector<buildings::Lod2Building> lod2;
    double zOff = 0.0;
    // Footprints fetched only for the rebuilt shapes stand as no block.
    bool placeLod1 = true;
    std::vector<RebuiltBodies> rebuilt;
    buildings::lod2fit::Lod2Reconstruction reconstructed;  // PL-1992, moved into the zone when placed
    CorridorItems corridors;  // bridges and roads, placed on the terrain's base height
};

// Copies of the models with every point converted from PL-1992 into the
// PL-2000 zone zoneEpsg.
BuildingModels buildingModelsInZone(const std::vector<buildings::Lod1Building>& lod1,
                                    const std::vector<buildings::Lod2Building>& lod2, int zoneEpsg);

// The lowest base of all the models: the height that puts the lowest building
// on the project's zero when no height anchor holds for the site.
double lowestModelHeight(const BuildingModels& models);

struct PlaceOutcome {
    KlErr hostCode = KL_NOERROR;  // of the undoable command; non-zero: rolled back
    placement::PlaceResult result;
    std::vector<std::string> reportLines;  // for the host's report window
    bool ok() const { return hostCode == KL_NOERROR && result.error.empty(); }
};

// The terrain and contours of a fetch, already in the working zone.
struct GroundInput {
    std::vector<placement::MeshGrid> tiles;
    double tileBaseHeight = 0.0;
    placement::ContourPlacement contours;
    placement::CloudGroundPlacement cloud;
};

// features: already in the working zone (workingEpsg). Raster tiles keep the
// system they were fetched in and are placed first, under the vectors; the
// ground (terrain meshes, contours) follows them, and the 3D models come last,
// LOD1 blocks giving way to LOD2 buildings.
PlaceOutcome runPlaceCommand(const KlHostFunctions* host, const std::vector<geo::GisFeature>& features,
                             const placement::PlacementTransform& transform, const settings::Settings& settings,
                             const std::vector<net::RasterTile>& rasters = {}, int workingEpsg = geo::kEpsgPl1992,
                             const BuildingModels& models = {}, const GroundInput& ground = {});

}  // namespace kl::placement
