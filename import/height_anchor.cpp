// The height anchor of a placement: which height above sea level becomes the
// project's zero, so that repeated imports share one height datum.
#include <algorithm>
#include <limits>
#include <string>

#include "import/import_controller.h"
#include "base/number_text.h"
#include "net/url_text.h"
#include "base/diag_log.h"
#include "shell/settings/project_georef.h"
#include "shell/settings/z_anchor.h"

namespace kl::import {
namespace {

std::optional<double> lowestTerrainPoint(const FetchedData& data) {
    double lowest = std::numeric_limits<double>::infinity();
    for (const auto* tiles : {&data.terrainTiles, &data.cloudGround.terrainTiles})
        for (const terrain::TerrainTile& tile : *tiles)
            for (const terrain::TerrainPoint& p : tile.points) lowest = std::min(lowest, p.height);
    if (lowest == std::numeric_limits<double>::infinity()) return std::nullopt;
    return lowest;
}

}  // namespace

HeightAnchor ImportController::settleHeightAnchor(const settings::ProjectGeoref& georef) {
    HeightAnchor out;
    const settings::AnchorSite site{georef.easting, georef.northing, georef.epsg};
    const settings::AnchorDecision stored = settings::anchorFor(settings_, site);
    if (!stored.message.empty()) out.warnings.push_back(stored.message);
    const std::optional<double> lowest = lowestTerrainPoint(fetched_);
    bool wroteHeight = false;
    double heightAfter = georef.height;

    if (georef.height != 0.0) {
        out.offset = georef.height;
        out.known = true;
    } else if (stored.applies && stored.height != 0.0) {
        out.offset = stored.height;
        out.known = true;
    } else if (lowest) {
        out.offset = *lowest;
        out.known = true;
        settings::setZAnchor(settings_, *lowest, site);
        const settings::FileWriteResult saved = saveSettings();
        if (!saved.ok) out.warnings.push_back(saved.message);
        wroteHeight = settings::setSurveyPointHeight(host_(), *lowest);
        if (wroteHeight) heightAfter = *lowest;
        out.warnings.push_back("Rzedna projektu = najnizszy punkt terenu (" +
                               wholeNumberText(*lowest) + " m npm) = 0 projektu; " +
                               (saved.ok ? "zapisana w ustawieniach" : "NIE zapisana w ustawieniach") +
                               ". Kolejne importy spojne Z.");
        if (!wroteHeight)
            out.warnings.push_back("Nie udalo sie zapisac rzednej w georeferencji projektu - ustaw ja recznie.");
    }

    std::size_t points = 0, cloudPoints = 0;
    for (const terrain::TerrainTile& tile : fetched_.terrainTiles) points += tile.points.size();
    for (const terrain::TerrainTile& tile : fetched_.cloudGround.terrainTiles) cloudPoints += tile.points.size();
    platform::appendDiagLine(
        "ordvik_z_diag.txt",
        "ohZ_georef_start=" + net::formatNumber(georef.height) +
            " minZ_liczony=" + net::formatNumber(lowest.value_or(1e18)) +
            " zAnchor(settings)=" + net::formatNumber(settings_.zAnchor) +
            " hasZAnchor=" + (settings_.hasZAnchor ? "1" : "0") + " SetGeoLocation_ok=" + (wroteHeight ? "1" : "0") +
            " ohAfterSet=" + net::formatNumber(heightAfter) + " terrainZOffset=" + net::formatNumber(out.offset) +
            " terenNMT=" + std::to_string(points) + " terenChmura=" + std::to_string(cloudPoints));
    return out;
}

}  // namespace kl::import
