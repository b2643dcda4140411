// "place": checks the project's georeference against the stored frame,
// settles the height anchor and hands the stored fetch to the place step.
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "geodata/polish_crs.h"
#include "base/number_text.h"
#include "import/import_controller.h"
#include "shell/settings/project_georef.h"

namespace kl::import {
namespace {

using nlohmann::json;


}  // namespace

json ImportController::onPlace(const json&) {
    if (!hasFetched_) return errorReply("Najpierw kliknij \"1. Pobierz elementy\".");
    if (busy_) return errorReply("Trwa pobieranie danych - sprobuj za chwile");
    if (pendingSamples_ > 0)
        return errorReply("Trwa odczyt wysokosci terenu dla nowej lokalizacji projektu - sprobuj za chwile.");
    if (!placeStep_) return errorReply("Umieszczanie w projekcie nie jest dostepne w tej konfiguracji dodatku.");

    const KlHostFunctions* host = host_();
    const settings::ProjectGeoref georef = settings::readProjectGeoref(host);
    if (georef.level == settings::GeorefLevel::Unreadable) return errorReply(georef.message);

    const bool zoneFromProject = geo::isPl2000Epsg(georef.epsg);
    const int zone = zoneFromProject ? georef.epsg : projectEpsg_;
    const geo::Point2d survey = zoneFromProject ? geo::Point2d{georef.easting, georef.northing}
                                                : geo::pl1992ToPl2000(georef.easting, georef.northing, zone);
    const geo::Point2d centre = geo::pl1992ToPl2000((fetchedBbox_.minX + fetchedBbox_.maxX) / 2.0,
                                                    (fetchedBbox_.minY + fetchedBbox_.maxY) / 2.0, zone);
    const double km = std::hypot(centre.x - survey.x, centre.y - survey.y) / 1000.0;

    std::vector<std::string> warnings;
    if (georef.level == settings::GeorefLevel::Approximate && km > 2.0)
        return errorReply("Georeferencja projektu jest przyblizona i lezy " + wholeNumberText(km) +
                     " km od pobranego obszaru. Kliknij \"Ustaw lokalizacje projektu wg mapy\" i sprobuj ponownie.");
    if (georef.level == settings::GeorefLevel::Exact && km > 50.0)
        warnings.push_back("Uwaga: pobrany obszar lezy " + wholeNumberText(km) +
                           " km od Survey Pointu projektu - elementy beda daleko od zera projektu.");
    if (georef.level == settings::GeorefLevel::Exact && !georef.message.empty()) warnings.push_back(georef.message);

    HeightAnchor anchor = settleHeightAnchor(georef);
    terrainZOffset_ = anchor.offset;
    // A height sampled for an earlier origin must not land after this.
    ++originGeneration_;
    std::vector<std::string> closing = anchor.warnings;
    if (!fetched_.warning.empty()) closing.push_back(fetched_.warning);
    placed_.before(host);
    PlaceStepResult placed = placeStep_({host, fetched_, fetchedLayers_, settings_, fetchedBbox_, zone, survey,
                                         georef.height, anchor.offset, anchor.known, smoothContours_,
                                         std::move(warnings), std::move(closing)});
    if (placed.ok) placed_.after(host);
    else placed_.forget();
    return placed.reply;
}

}  // namespace kl::import
