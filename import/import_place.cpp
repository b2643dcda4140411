// "place": checks the project's georeference against the stored frame,
// settles the height anchor, moves the features into the project's grid and
// draws them in one undo step.
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "geodata/polish_crs.h"
#include "import/import_controller.h"
#include "import/place_command.h"
#include "import/terrain_in_zone.h"
#include "shell/settings/project_georef.h"

namespace kl::import {
namespace {

using nlohmann::json;

json error(std::string text) { return {{"type", "error"}, {"msg", std::move(text)}}; }

std::string wholeNumber(double v) { return std::to_string(static_cast<long long>(v)); }

void report(const KlHostFunctions* host, const std::string& line) {
    if (host && host->WriteReport) host->WriteReport(line.c_str(), 0);
}

}  // namespace

json ImportController::onPlace(const json&) {
    if (!hasFetched_) return error("Najpierw kliknij \"1. Pobierz elementy\".");
    if (busy_) return error("Trwa pobieranie danych - sprobuj za chwile");
    if (pendingSamples_ > 0)
        return error("Trwa odczyt wysokosci terenu dla nowej lokalizacji projektu - sprobuj za chwile.");

    const KlHostFunctions* host = host_();
    const settings::ProjectGeoref georef = settings::readProjectGeoref(host);
    if (georef.level == settings::GeorefLevel::Unreadable) return error(georef.message);

    const bool zoneFromProject = geo::isPl2000Epsg(georef.epsg);
    const int zone = zoneFromProject ? georef.epsg : projectEpsg_;
    const geo::Point2d survey = zoneFromProject ? geo::Point2d{georef.easting, georef.northing}
                                                : geo::pl1992ToPl2000(georef.easting, georef.northing, zone);
    const geo::Point2d centre = geo::pl1992ToPl2000((fetchedBbox_.minX + fetchedBbox_.maxX) / 2.0,
                                                    (fetchedBbox_.minY + fetchedBbox_.maxY) / 2.0, zone);
    const double km = std::hypot(centre.x - survey.x, centre.y - survey.y) / 1000.0;

    std::vector<std::string> warnings;
    if (georef.level == settings::GeorefLevel::Approximate && km > 2.0)
        return error("Georeferencja projektu jest przyblizona i lezy " + wholeNumber(km) +
                     " km od pobranego obszaru. Kliknij \"Ustaw lokalizacje projektu wg mapy\" i sprobuj ponownie.");
    if (georef.level == settings::GeorefLevel::Exact && km > 50.0)
        warnings.push_back("Uwaga: pobrany obszar lezy " + wholeNumber(km) +
                           " km od Survey Pointu projektu - elementy beda daleko od zera projektu.");
    if (georef.level == settings::GeorefLevel::Exact && !georef.message.empty()) warnings.push_back(georef.message);

    HeightAnchor anchor = settleHeightAnchor(georef);
    terrainZOffset_ = anchor.offset;
    // Repeated imports keep one height datum (the survey point's height, the stored
    // anchor, or the lowest terrain point), and the ground stands on it.
    const std::optional<double> datum = anchor.known ? std::optional<double>(anchor.offset) : std::nullopt;

    GroundInput ground;
    // The contours may need the elevation tiles without the terrain mesh being asked for.
    if (fetchedLayers_.count("teren") > 0) ground.tiles = tilesInZone(fetched_.terrainTiles, zone);
    ground.tileBaseHeight = anchor.offset;
    ground.contours.contours = contoursInZone(fetched_.contours, zone);
    ground.contours.frame = frameInZone(fetchedBbox_, zone);
    ground.contours.lines = fetchedLayers_.count("poziomice2d") > 0;
    ground.contours.mesh = fetchedLayers_.count("poziomice3d") > 0;
    ground.contours.smooth = smoothContours_;
    ground.cloud = cloudGroundInZone(fetched_.cloudGround, fetchedBbox_, zone);
    ground.cloud.baseHeight = anchor.offset;
    ground.contours.baseHeight = terrainBaseHeight(
        {fetched_.terrainTiles.empty() ? std::nullopt : datum,
         fetched_.cloudGround.terrainTiles.empty() ? std::nullopt : datum, georef.height, datum});

    // A height sampled for an earlier origin must not land after this.
    ++originGeneration_;
    const std::vector<geo::GisFeature> local = featuresInZone(fetched_.features, zone);
    BuildingModels models = buildingModelsInZone(fetched_.lod1Buildings, fetched_.lod2Buildings, zone);
    // without a height anchor for this site the lowest building stands at the project's zero
    models.zOff = anchor.known ? anchor.offset : lowestModelHeight(models);
    placed_.before(host);
    const PlaceOutcome placed = runPlaceCommand(host, local, transformForSurveyPoint(survey), settings_,
                                                fetched_.rasters, zone, models, ground);
    if (!placed.ok()) {
        placed_.forget();
        if (!placed.result.error.empty()) report(host, "KARTOLINK: " + placed.result.error);
        return error("Import nieudany (transakcja wycofana)");
    }

    placed_.after(host);
    const placement::PlaceResult& r = placed.result;
    for (const std::string& line : placed.reportLines) report(host, line);
    warnings.insert(warnings.end(), r.warnings.begin(), r.warnings.end());
    if (r.skipped > 0) warnings.push_back("Pominieto " + std::to_string(r.skipped) + " wadliwych geometrii lub bryl.");
    if (r.hasExtent)
        report(host, "KARTOLINK: wektory w lokalnych wsp. X[" + wholeNumber(r.minX) + ".." + wholeNumber(r.maxX) +
                         "] Y[" + wholeNumber(r.minY) + ".." + wholeNumber(r.maxY) + "] m od zera projektu.");
    warnings.insert(warnings.end(), anchor.warnings.begin(), anchor.warnings.end());
    if (!fetched_.warning.empty()) warnings.push_back(fetched_.warning);

    std::string warning;
    for (const std::string& w : warnings) appendWarning(warning, w);
    json reply = {{"type", "placeDone"}, {"counts", r.counts}};
    if (!warning.empty()) {
        reply["warning"] = warning;
        report(host, "KARTOLINK: " + warning);
    }
    return reply;
}

}  // namespace kl::import
