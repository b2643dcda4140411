#include "placement/fetch_placing.h"

#include <optional>
#include <string>
#include <vector>

#include "base/bridge.h"
#include "base/number_text.h"
#include "placement/corridor_placement.h"
#include "placement/place_command.h"
#include "placement/rebuilt_in_zone.h"
#include "placement/terrain_in_zone.h"

namespace kl::placement {
namespace {

using nlohmann::json;


void report(const KlHostFunctions* host, const std::string& line) {
    if (host && host->WriteReport) host->WriteReport(line.c_str(), 0);
}

GroundInput groundOf(const import::PlaceJob& job) {
    // Repeated imports keep one height datum (the survey point's height, the stored
    // anchor, or the lowest terrain point), and the ground stands on it.
    const std::optional<double> datum = job.anchorKnown ? std::optional<double>(job.anchorOffset) : std::nullopt;
    const import::FetchedData& fetched = job.fetched;
    GroundInput ground;
    // The contours may need the elevation tiles without the terrain mesh being asked for.
    if (job.layers.count("teren") > 0) ground.tiles = tilesInZone(fetched.terrainTiles, job.zoneEpsg);
    ground.tileBaseHeight = job.anchorOffset;
    ground.contours.contours = contoursInZone(fetched.contours, job.zoneEpsg);
    ground.contours.frame = frameInZone(job.frame, job.zoneEpsg);
    ground.contours.lines = job.layers.count("poziomice2d") > 0;
    ground.contours.mesh = job.layers.count("poziomice3d") > 0;
    ground.contours.smooth = job.smoothContours;
    ground.cloud = cloudGroundInZone(fetched.cloudGround, job.frame, job.zoneEpsg);
    ground.cloud.baseHeight = job.anchorOffset;
    ground.contours.baseHeight =
        terrainBaseHeight({fetched.terrainTiles.empty() ? std::nullopt : datum,
                           fetched.cloudGround.terrainTiles.empty() ? std::nullopt : datum, job.surveyHeight, datum});
    return ground;
}

}  // namespace

import::PlaceStepResult placeFetched(const import::PlaceJob& job) {
    const import::FetchedData& fetched = job.fetched;
    const std::vector<geo::GisFeature> local = featuresInZone(fetched.features, job.zoneEpsg);
    BuildingModels models = buildingModelsInZone(fetched.lod1Buildings, fetched.lod2Buildings, job.zoneEpsg);
    models.placeLod1 = fetched.lod1Requested;
    models.rebuilt = rebuiltInZone(fetched, job.zoneEpsg);
    models.reconstructed = fetched.lod2Reconstruction;
    models.corridors = corridorItemsInZone(fetched.corridors, job.zoneEpsg);
    // without a height anchor for this site the lowest building stands at the project's zero
    models.zOff = job.anchorKnown ? job.anchorOffset : lowestModelHeight(models);
    const PlaceOutcome placed = runPlaceCommand(job.host, local, transformForSurveyPoint(job.survey), job.settings,
                                                fetched.rasters, job.zoneEpsg, models, groundOf(job));
    if (!placed.ok()) {
        if (!placed.result.error.empty()) report(job.host, "KARTOLINK: " + placed.result.error);
        return {false, errorReply("Import nieudany (transakcja wycofana)")};
    }

    const PlaceResult& r = placed.result;
    for (const std::string& line : placed.reportLines) report(job.host, line);
    std::vector<std::string> warnings = job.warnings;
    warnings.insert(warnings.end(), r.warnings.begin(), r.warnings.end());
    if (r.skipped > 0) warnings.push_back("Pominieto " + std::to_string(r.skipped) + " wadliwych geometrii lub bryl.");
    if (r.hasExtent)
        report(job.host, "KARTOLINK: wektory w lokalnych wsp. X[" + wholeNumberText(r.minX) + ".." +
                             wholeNumberText(r.maxX) + "] Y[" + wholeNumberText(r.minY) + ".." +
                             wholeNumberText(r.maxY) + "] m od zera projektu.");
    warnings.insert(warnings.end(), job.closingWarnings.begin(), job.closingWarnings.end());

    std::string warning;
    for (const std::string& w : warnings) import::appendWarning(warning, w);
    json reply = {{"type", "placeDone"}, {"counts", r.counts}};
    if (!warning.empty()) {
        reply["warning"] = warning;
        report(job.host, "KARTOLINK: " + warning);
    }
    return {true, std::move(reply)};
}

}  // namespace kl::placement
