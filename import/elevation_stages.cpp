#include "import/elevation_stages.h"

#include <cmath>

#include "terrain/contour_builder.h"
#include "terrain/contour_grid.h"
#include "terrain/metres_text.h"
#include "terrain/terrain_tiles.h"

namespace kl::import {
namespace {

using terrain::formatMetres;

terrain::HeightSampler samplerOf(const terrain::SheetSet& sheets) {
    return [&sheets](double x, double y) { return terrain::sampleSheets(sheets, x, y); };
}

bool anyValue(const terrain::HeightGrid& grid) {
    for (const double v : grid.values)
        if (!std::isnan(v)) return true;
    return false;
}

}  // namespace

TerrainSheets loadTerrainSheets(net::WfsClient& client, const geo::Bbox& frame, int currentYear,
                                const std::string& progressLabel, const std::string& warningPrefix, const StageIo& io,
                                terrain::ElevationModel model) {
    TerrainSheets out;
    io.progress(progressLabel, 0, 1);
    out.index = terrain::queryElevationIndex(client, model, frame, currentYear);
    if (io.cancelled()) {
        out.load.cancelled = true;
        return out;
    }
    out.load = terrain::loadSheets(client, out.index.sheets,
                                   {[&](int done, int total) { io.progress(progressLabel, done, total); }, io.cancelled});
    if (out.load.cancelled) return out;
    for (const std::string& w : out.load.warnings) io.warn(warningPrefix + w);
    return out;
}

std::vector<terrain::TerrainTile> terrainTilesFromSheets(const TerrainSheets& sheets, const geo::Bbox& frame,
                                                         int step, const StageIo& io) {
    if (sheets.index.sheets.empty()) {
        io.warn(sheets.index.failure.empty() ? "Teren: brak kafli NMT dla tego obszaru w skorowidzu."
                                             : "Teren: " + sheets.index.failure);
        return {};
    }
    if (sheets.load.sheets.empty()) {
        io.warn("Teren: nie udalo sie pobrac/sparsowac zadnego pliku NMT.");
        return {};
    }
    terrain::TerrainTiles tiles = terrain::buildTerrainTiles(frame, step, samplerOf(sheets.load.sheets));
    io.warn(tiles.message);
    if (tiles.tiles.empty()) io.warn("Teren: brak waznych punktow NMT w kadrze.");
    return std::move(tiles.tiles);
}

bool contourIntervalAllowed(double interval, const std::string& warningPrefix, const StageIo& io) {
    if (terrain::isAllowedInterval(interval)) return true;
    io.warn(warningPrefix + "ciecie " + formatMetres(interval) +
            " m nie jest dozwolona wartoscia (dozwolone: 0,25 / 0,5 / 1,0 / 2,0 m) - poziomice pominiete.");
    return false;
}

ElevationContours contoursFromSheets(const TerrainSheets& sheets, const geo::Bbox& frame,
                                     const ContourOptions& options, const StageIo& io) {
    ElevationContours out;
    if (sheets.index.sheets.empty()) {
        io.warn(sheets.index.failure.empty() ? "Poziomice: brak kafli NMT dla tego obszaru w skorowidzu."
                                             : "Poziomice: " + sheets.index.failure);
        return out;
    }
    if (sheets.load.sheets.empty()) {
        io.warn("Poziomice: nie udalo sie pobrac zadnego pliku NMT.");
        return out;
    }
    const terrain::SampleStep step = terrain::sampleStepForFrame(frame, options.terrainStep);
    io.warn(step.message);
    out.grid = terrain::sampleGrid(frame, step.step, samplerOf(sheets.load.sheets));
    if (options.smooth) terrain::bilateralSmooth(out.grid, 1.5, 0.2);

    const std::string label = "Poziomice: liczenie warstwic";
    terrain::ContourResult built = terrain::ContourBuilder::build(
        out.grid, options.interval, {}, io.cancelled, [&](std::size_t done, std::size_t total) {
            io.progress(label, static_cast<int>(done), static_cast<int>(total));
        });
    if (built.cancelled) {
        out.cancelled = true;
        return out;
    }
    io.warn(built.message);
    if (built.contours.empty())
        io.warn(anyValue(out.grid) ? "Poziomice: brak deniwelacji wiekszej niz ciecie " + formatMetres(options.interval) +
                                         " m w tym kadrze - teren zbyt plaski dla wybranego ciecia."
                                   : "Poziomice: caly probkowany obszar to NODATA (brak danych NMT dla tego kadru).");
    if (step.step * 0.2 > options.interval)
        io.warn("Poziomice: ciecie " + formatMetres(options.interval) + " m jest drobne wzgledem kroku probkowania " +
                formatMetres(step.step) + " m - warstwice beda kanciaste. " +
                (step.message.empty() ? "Zmniejsz krok terenu."
                                      : "Krok zostal zgrubiony przez limit gestosci dla tego kadru - zmniejsz kadr "
                                        "albo wybierz wieksze ciecie."));
    out.contours = std::move(built.contours);
    return out;
}

}  // namespace kl::import
