#include "import/place_command.h"

#include <exception>

#include "geodata/polish_crs.h"
#include "placement/layer_resolver.h"
#include "placement/raster_placement.h"
#include "placement/vector_placement.h"

namespace kl::import {
namespace {

struct CommandContext {
    const std::vector<geo::GisFeature>& features;
    const placement::PlacementTransform& transform;
    const settings::Settings& settings;
    const std::vector<net::RasterTile>& rasters;
    int workingEpsg;
    const GroundInput& ground;
    placement::PlaceResult result;
};

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

placement::PlacementTransform transformForSurveyPoint(geo::Point2d surveyPoint) {
    return {surveyPoint.x, surveyPoint.y, 0.0, 0.0, 0.0};
}

PlaceOutcome runPlaceCommand(const KlHostFunctions* host, const std::vector<geo::GisFeature>& features,
                             const placement::PlacementTransform& transform, const settings::Settings& settings,
                             const std::vector<net::RasterTile>& rasters, int workingEpsg, const GroundInput& ground) {
    PlaceOutcome out;
    if (!host || !host->UndoableCommand) {
        out.hostCode = KL_ERR_REFUSED;
        return out;
    }
    CommandContext ctx{features, transform, settings, rasters, workingEpsg, ground, {}};
    out.hostCode = host->UndoableCommand(kImportStepName, &commandBody, &ctx);
    out.result = std::move(ctx.result);
    return out;
}

}  // namespace kl::import
