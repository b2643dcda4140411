// The stages of a fetch in their fixed order, and those drawn from the
// national services and the sheets, clouds and ways derived from them.
#include "import/fetch_pipeline.h"

#include <algorithm>
#include <exception>
#include <iterator>

#include "import/building_models_stage.h"
#include "import/cloud_ground_stage.h"
#include "import/cloud_roofs_stage.h"
#include "import/fetch_run.h"
#include "import/osm_corridor_stage.h"
#include "import/reconstruction_stage.h"
#include "import/surface_model_stage.h"
#include "net/service_hosts.h"
#include "net/sheet_index_text.h"

namespace kl::import {

using geo::DataType;
using geo::GisFeature;

void FetchRun::checkCancel() const {
    if (h_.cancelled && h_.cancelled()) throw FetchCancelled{};
}

void FetchRun::report(const std::string& label, int done, int total, bool cancellable) const {
    if (h_.progress) h_.progress({label, done, total, cancellable});
}

net::TileProgress FetchRun::tiles(std::string label) const {
    return [this, label = std::move(label)](int done, int total) {
        checkCancel();
        report(label, done, total, true);
    };
}

template <class Body>
void FetchRun::stage(const std::string& name, Body body) {
    checkCancel();
    timed(name, [&] {
        try {
            body();
        } catch (const FetchCancelled&) {
            throw;
        } catch (const std::exception& e) {
            warn("Blad pobierania: " + std::string(e.what()));
        }
    });
}

void FetchRun::run() {
    if (has("dzialki") || has("budynki")) stage("EGiB", [this] { cadastre(); });
    if (has("pog") || has("mpzp")) stage("Plany", [this] { plans(); });
    if (has("gesut")) stage("GESUT", [this] { utilities(); });
    if (has("bdot500")) stage("BDOT500", [this] { baseMap(); });
    if (has("rastr")) stage("Ortofotomapa", [this] { orthophoto(); });
    if (has("teren")) stage("Teren", [this] { terrainTiles(); });
    if (has("terenchmura") || has("poziomicechmura") || has("wodachmura"))
        stage("Teren z chmury", [this] { cloudGround(); });
    if (wantsBuildingModels(r_))
        stage("Modele 3D", [this] {
            fetchBuildingModels(s_.client, r_, commune(), h_, out_.data);
            checkCancel();
        });
    if (has("budynkindsm")) stage("Budynki nMPT", [this] { surfaceModelBuildings(); });
    if (has("mosty") || has("drogi")) stage("Mosty/drogi", [this] { corridors(); });
    if (has("dachychmura")) stage("Dachy z chmury", [this] { roofsFromCloud(); });
    if (has("budynkirekon"))
        stage("Rekonstrukcja LOD2", [this] {
            ReconstructionRun run = reconstructBuildings(s_.client, r_.frame, r_.workingZone,
                                                         out_.data.lod1Buildings, stageIo());
            if (run.cancelled) throw FetchCancelled{};
            out_.data.lod2Reconstruction = std::move(run.result);
        });
    if (has("poziomice2d") || has("poziomice3d")) stage("Poziomice", [this] { elevationContours(); });
    out_.data.rasters = std::move(rasters_);
    auto& f = out_.data.features;
    f.reserve(parcels_.size() + buildings_.size() + planZones_.size() + utilities_.size());
    for (auto* part : {&parcels_, &buildings_, &planZones_, &utilities_})
        std::move(part->begin(), part->end(), std::back_inserter(f));
}

const std::string& FetchRun::commune() {
    if (!communeAsked_) {
        communeAsked_ = true;
        teryt_ = timed("gmina", [this] { return s_.communes.resolveCommuneTeryt(s_.client, r_.frame); });
        checkCancel();
        if (teryt_.empty() && !s_.communes.lastError().empty())
            warn("Usluga granic administracyjnych (PRG) nie odpowiada (" + s_.communes.lastError() + ").");
    }
    return teryt_;
}

void FetchRun::orthophoto() {
    if (!raster({net::nationalServiceUrl(s_.client.hosts(), net::kOrthophotoWmsPath), "Raster",
                 net::kOrthophotoMetresPerPixel, DataType::Rasters, r_.workingZone}))
        warn("Ortofotomapa WMS nie odpowiada - rastr pominiety.");
}

// True when at least one tile came. Tiles that did not come are named,
// so a partly covered frame is never taken for a whole one.
bool FetchRun::raster(const net::RasterSource& source) {
    const std::string key(geo::dataTypeKey(source.type));
    const std::string label = "Rastry: " + key;
    report(label, 0, 1, true);
    net::RasterFetchResult got =
        timed(key + " (rastr)", [&] { return net::fetchRasterTiles(s_.client, r_.frame, source, tiles(label)); });
    warn(got.warning);
    if (!got.reportLine.empty()) out_.data.reportLines.push_back(std::move(got.reportLine));
    const int came = static_cast<int>(got.tiles.size());
    if (came > 0 && came < got.tilesAsked)
        warn("Rastr " + key + ": pobrano " + std::to_string(came) + " z " + std::to_string(got.tilesAsked) +
             " platek - brakujace fragmenty pominieto.");
    std::move(got.tiles.begin(), got.tiles.end(), std::back_inserter(rasters_));
    return came > 0;
}

// The terrain model sheets, loaded by the first stage that needs them.
const TerrainSheets& FetchRun::terrainSheets(const std::string& progressLabel, const std::string& warningPrefix) {
    if (!terrainSheets_) {
        terrainSheets_ = timed("NMT", [&] {
            return loadTerrainSheets(s_.client, r_.frame, net::currentUtcYear(), progressLabel, warningPrefix,
                                     stageIo());
        });
        if (terrainSheets_->load.cancelled) throw FetchCancelled{};
    }
    return *terrainSheets_;
}

StageIo FetchRun::stageIo() {
    return {[this](const std::string& text) { warn(text); },
            [this](const std::string& label, int done, int total) { report(label, done, total, true); },
            [this] { return h_.cancelled && h_.cancelled(); }};
}

void FetchRun::terrainTiles() {
    out_.data.terrainTiles =
        terrainTilesFromSheets(terrainSheets("Pobieranie NMT", "Teren: "), r_.frame, r_.terrainStep, stageIo());
}

void FetchRun::surfaceModelBuildings() {
    // Without footprints no block is made: the sheets, large downloads, are
    // not fetched for them.
    static const TerrainSheets kNoSheets;
    const TerrainSheets& nmt = out_.data.lod1Buildings.empty()
                                   ? kNoSheets
                                   : terrainSheets("Budynki (nMPT): pobieranie NMT", "Budynki nMPT: ");
    out_.data.surfaceModelBlocks = surfaceModelBlocks(s_.client, out_.data.lod1Buildings, r_.frame, nmt, stageIo());
    checkCancel();
}

void FetchRun::roofsFromCloud() {
    out_.data.cloudRoofs = cloudRoofs(s_.client, out_.data.lod1Buildings, r_.frame, r_.workingZone, stageIo());
    checkCancel();
}

void FetchRun::cloudGround() {
    const CloudGroundRequest request{has("terenchmura"), has("poziomicechmura"), has("wodachmura"),
                                     r_.cloudStep, r_.contourInterval, r_.smoothContours, net::currentUtcYear()};
    CloudGroundStage got = fetchCloudGround(s_.client, r_.frame, request, stageIo());
    if (got.cancelled) throw FetchCancelled{};
    out_.data.cloudGround = std::move(got.ground);
}

void FetchRun::elevationContours() {
    if (!contourIntervalAllowed(r_.contourInterval, "Poziomice: ", stageIo())) return;
    ElevationContours got = contoursFromSheets(terrainSheets("Poziomice: NMT", "Poziomice: "), r_.frame,
                                               {r_.contourInterval, r_.terrainStep, r_.smoothContours}, stageIo());
    if (got.cancelled) throw FetchCancelled{};
    out_.data.contours = std::move(got.contours);
}

void FetchRun::corridors() {
    const int year = net::currentUtcYear();
    out_.data.corridors = fetchCorridorBodies(
        s_.client, {r_.frame, has("mosty"), has("drogi"), year},
        [this]() -> const TerrainSheets& { return terrainSheets("Mosty/drogi: korytarze", "Mosty/drogi: "); },
        stageIo());
    checkCancel();
}

FetchOutcome fetchForImport(FetchServices& services, const FetchRequest& request, const FetchHooks& hooks,
                            std::string warning) {
    FetchOutcome out;
    out.data.warning = std::move(warning);
    // A cancel also cuts short the request under way; the check lives only
    // as long as this run.
    services.client.stopWhen(hooks.cancelled);
    struct StopCheckRelease {
        net::WfsClient& client;
        ~StopCheckRelease() { client.stopWhen({}); }
    } release{services.client};
    try {
        FetchRun(services, request, hooks, out).run();
    } catch (const FetchCancelled&) {
        out.cancelled = true;
        // Whatever came before the cancel is dropped; only the words stay.
        std::string said = std::move(out.data.warning);
        out.data = {};
        out.data.warning = std::move(said);
    } catch (const std::exception& e) {
        appendWarning(out.data.warning, "Blad pobierania: " + std::string(e.what()));
    } catch (...) {
        appendWarning(out.data.warning, "Blad pobierania: nieznany blad.");
    }
    return out;
}

std::map<std::string, int> fetchCounts(const FetchedData& data) {
    std::map<std::string, int> counts;
    for (const GisFeature& f : data.features) ++counts[std::string(geo::dataTypeKey(f.type))];
    for (const net::RasterTile& t : data.rasters) ++counts[std::string(geo::dataTypeKey(t.type)) + " (rastr)"];
    if (!data.terrainTiles.empty()) counts["teren (Siatka)"] = static_cast<int>(data.terrainTiles.size());
    if (!data.contours.empty()) counts["poziomice (warstwice)"] = static_cast<int>(data.contours.size());
    if (const CloudGround& cloud = data.cloudGround; !cloud.empty()) {
        if (!cloud.terrainTiles.empty()) counts["teren z chmury (Siatka)"] = static_cast<int>(cloud.terrainTiles.size());
        if (!cloud.water.outlines.empty()) counts["woda z chmury (Siatka)"] = static_cast<int>(cloud.water.outlines.size());
        if (!cloud.contours.empty()) counts["poziomice z chmury (warstwice)"] = static_cast<int>(cloud.contours.size());
    }
    if (data.lod1Requested && !data.lod1Buildings.empty())
        counts["budynki3d"] = static_cast<int>(data.lod1Buildings.size());
    if (!data.lod2Buildings.empty()) counts["budynkilod2"] = static_cast<int>(data.lod2Buildings.size());
    if (!data.surfaceModelBlocks.items.empty())
        counts["budynkindsm"] = static_cast<int>(data.surfaceModelBlocks.items.size());
    if (!data.cloudRoofs.items.empty()) counts["dachychmura"] = static_cast<int>(data.cloudRoofs.items.size());
    if (!data.lod2Reconstruction.buildings.empty())
        counts["budynkirekon"] = static_cast<int>(data.lod2Reconstruction.buildings.size());
    if (!data.corridors.bridges.empty()) counts["mosty"] = static_cast<int>(data.corridors.bridges.size());
    if (!data.corridors.roads.empty()) counts["drogi"] = static_cast<int>(data.corridors.roads.size());
    return counts;
}

}  // namespace kl::import
