#include "placement/place_command.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>

#include "geodata/polish_crs.h"
#include "placement/building_bodies.h"
#include "placement/layer_resolver.h"
#include "placement/raster_placement.h"
#include "placement/roof_fit_bodies.h"
#include "base/diag_log.h"
#include "base/folders.h"
#include "base/atomic_file.h"
#include "placement/vector_placement.h"

namespace kl::placement {
namespace {

struct CommandContext {
    const std::vector<geo::GisFeature>& features;
    const placement::PlacementTransform& transform;
    const settings::Settings& settings;
    const std::vector<net::RasterTile>& rasters;
    int workingEpsg;
    const BuildingModels& models;
    const GroundInput& ground;
    placement::PlaceResult result;
    placement::BodyReport bodies;
};

// Bodies that fail only count as skipped; they never roll the import back.
void placeModels(CommandContext& ctx, placement::LayerResolver& layers) {
    const BuildingModels& m = ctx.models;
    if (!m.lod1.empty() && m.placeLod1)
        placement::placeLod1Blocks(m.lod1, placement::lod2BuildingIds(m.lod2), ctx.transform, m.zOff,
                                   layers.layerForType(geo::DataType::Buildings3dLod1), ctx.result, ctx.bodies);
    if (!m.lod2.empty())
        placement::placeLod2Buildings(m.lod2, ctx.transform, m.zOff, layers.layerForType(geo::DataType::Buildings3dLod2),
                                      ctx.result, ctx.bodies);
    for (const RebuiltBodies& r : m.rebuilt)
        placement::placeReconstructedBodies(r.kind, r.items, m.lod1.size(),
                                            [&](geo::Point2d p) { return ctx.transform.apply(p); }, m.zOff,
                                            r.fetchDiagnostic, layers, ctx.result, ctx.bodies);
    if (!m.reconstructed.buildings.empty())
        placement::placeRoofFits(m.reconstructed, ctx.workingEpsg, ctx.transform, m.zOff, layers, ctx.result,
                                 ctx.bodies);
    placeCorridorItems(m.corridors, ctx.transform, ctx.ground.tileBaseHeight, layers, ctx.result, ctx.bodies);
}

// Runs inside the host's undo scope; nothing may escape into the host.
KlErr commandBody(void* raw) {
    auto& ctx = *static_cast<CommandContext*>(raw);
    try {
        placement::LayerResolver layers(ctx.settings);
        placement::PlaceResult pictures;
        placement::placeRasterTiles(ctx.rasters, ctx.transform, ctx.workingEpsg, layers, pictures);
        if (!pictures.error.empty()) {
            ctx.result = std::move(pictures);
            return KL_ERR_GENERAL;
        }
        ctx.result = placement::placeVectorFeatures(ctx.features, ctx.transform, layers);
        ctx.result.counts.merge(pictures.counts);
        if (ctx.result.error.empty())
            placement::placeTerrainMeshes(ctx.ground.tiles, ctx.transform, ctx.ground.tileBaseHeight, layers, ctx.result);
        if (ctx.result.error.empty()) placement::placeContours(ctx.ground.contours, ctx.transform, layers, ctx.result);
        if (ctx.result.error.empty()) placement::placeCloudGround(ctx.ground.cloud, ctx.transform, layers, ctx.result);
        if (ctx.result.error.empty()) placeModels(ctx, layers);
    } catch (const std::exception& e) {
        ctx.result.error = std::string("Blad wewnetrzny: ") + e.what();
    } catch (...) {
        ctx.result.error = "Blad wewnetrzny";
    }
    return ctx.result.error.empty() ? KL_NOERROR : KL_ERR_GENERAL;
}

void convertRing(geo::Ring& ring, int zone) {
    for (geo::Point2d& p : ring) p = geo::pl1992ToPl2000(p.x, p.y, zone);
}

void convertRing(std::vector<buildings::Point3d>& ring, int zone) {
    for (buildings::Point3d& p : ring) {
        const geo::Point2d q = geo::pl1992ToPl2000(p.x, p.y, zone);
        p.x = q.x;
        p.y = q.y;
    }
}

}  // namespace

std::vector<geo::GisFeature> featuresInZone(const std::vector<geo::GisFeature>& features, int zoneEpsg) {
    std::vector<geo::GisFeature> out(features);
    for (geo::GisFeature& f : out) {
        for (geo::Polygon& poly : f.polygons) {
            convertRing(poly.exterior, zoneEpsg);
            for (geo::Ring& hole : poly.holes) convertRing(hole, zoneEpsg);
        }
        for (geo::Polyline& line : f.lines) convertRing(line, zoneEpsg);
        if (f.hasPoint) f.point = geo::pl1992ToPl2000(f.point.x, f.point.y, zoneEpsg);
    }
    return out;
}

BuildingModels buildingModelsInZone(const std::vector<buildings::Lod1Building>& lod1,
                                    const std::vector<buildings::Lod2Building>& lod2, int zoneEpsg) {
    BuildingModels out{lod1, lod2, 0.0, true, {}, {}, {}};
    for (auto& b : out.lod1) convertRing(b.footprint, zoneEpsg);
    for (auto& b : out.lod2)
        for (auto& f : b.faces) {
            convertRing(f.exterior, zoneEpsg);
            for (auto& h : f.holes) convertRing(h, zoneEpsg);
        }
    return out;
}

double lowestModelHeight(const BuildingModels& models) {
    double lowest = std::numeric_limits<double>::infinity();
    for (const auto& b : models.lod1) lowest = std::min(lowest, b.baseZ);
    for (const auto& b : models.lod2)
        for (const auto& f : b.faces)
            for (const auto& p : f.exterior) lowest = std::min(lowest, p.z);
    return std::isfinite(lowest) ? lowest : 0.0;
}

placement::PlacementTransform transformForSurveyPoint(geo::Point2d surveyPoint) {
    return {surveyPoint.x, surveyPoint.y, 0.0, 0.0, 0.0};
}

PlaceOutcome runPlaceCommand(const KlHostFunctions* host, const std::vector<geo::GisFeature>& features,
                             const placement::PlacementTransform& transform, const settings::Settings& settings,
                             const std::vector<net::RasterTile>& rasters, int workingEpsg,
                             const BuildingModels& models, const GroundInput& ground) {
    PlaceOutcome out;
    if (!host || !host->UndoableCommand) {
        out.hostCode = KL_ERR_REFUSED;
        return out;
    }
    CommandContext ctx{features, transform, settings, rasters, workingEpsg, models, ground, {}, {}};
    out.hostCode = host->UndoableCommand(kImportStepName, &commandBody, &ctx);
    out.result = std::move(ctx.result);
    // files for diagnosing a placement; a failure to write them never touches the import
    for (const auto& d : ctx.bodies.diagnostics) {
        if (d.append)
            platform::appendDiagText(d.name, d.text);
        else
            settings::replaceFileAtomically(platform::diagnosticDir() / d.name, d.text);
    }
    out.reportLines = std::move(ctx.bodies.lines);
    // the bodies' warnings come first, as the bodies' report lines do
    out.result.warnings.insert(out.result.warnings.begin(), ctx.bodies.warnings.begin(), ctx.bodies.warnings.end());
    return out;
}

}  // namespace kl::placement
