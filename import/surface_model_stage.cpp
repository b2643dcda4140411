#include "import/surface_model_stage.h"

#include "buildings/surface_model_block.h"
#include "import/parallel_footprints.h"
#include "import/rebuilt_tally.h"
#include "net/sheet_index_text.h"

namespace kl::import {
namespace {

buildings::HeightAt samplerOf(const terrain::SheetSet& sheets) {
    return [&sheets](double x, double y) { return terrain::sampleSheets(sheets, x, y); };
}

}  // namespace

RebuiltLayer surfaceModelBlocks(net::WfsClient& client, const std::vector<buildings::Lod1Building>& footprints,
                                const geo::Bbox& frame, const TerrainSheets& terrain, const StageIo& io) {
    RebuiltLayer out;
    if (footprints.empty()) {
        io.warn("Budynki nMPT: brak obrysow budynkow (Building3D) dla tego kadru.");
        return out;
    }
    const TerrainSheets surface = loadTerrainSheets(client, frame, net::currentUtcYear(), "Budynki (nMPT): pobieranie nMPT",
                                                    "Budynki nMPT: ", io, terrain::ElevationModel::Surface);
    if (surface.load.cancelled) return out;
    if (surface.load.sheets.empty() || terrain.load.sheets.empty()) {
        for (const std::string& failure : {surface.index.failure, terrain.index.failure})
            if (!failure.empty()) io.warn("Budynki nMPT: " + failure);
        io.warn("Budynki (nMPT): brak pokrycia nMPT lub NMT dla tego kadru.");
        return out;
    }

    const buildings::SurfaceModelPair models{samplerOf(surface.load.sheets), samplerOf(terrain.load.sheets)};
    const std::string label = "Budynki (nMPT): dopasowanie";
    std::vector<buildings::ReconstructionResult> blocks = mapInParallel<buildings::ReconstructionResult>(
        footprints.size(),
        [&](std::size_t i) { return buildings::blockFromSurfaceModel(footprints[i].footprint, models, {}); },
        {[&](int done, int total) { io.progress(label, done, total); }, io.cancelled});
    if (io.cancelled()) return out;

    const RebuiltTally tally = tallyRebuilt(blocks);
    io.warn(rebuiltSummary("Budynki nMPT: ", "bryl", tally, "bez danych nMPT lub ze zdegenerowanym obrysem"));
    out.diagnostic = "arkusze nMPT=" + std::to_string(surface.load.sheets.size()) +
                     " NMT=" + std::to_string(terrain.load.sheets.size()) + " bryly=" + std::to_string(tally.made) +
                     " do_korekty=" + std::to_string(tally.flagged) + " pominiete=" + std::to_string(tally.missing);
    out.items = std::move(blocks);
    return out;
}

}  // namespace kl::import
