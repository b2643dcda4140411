#include "import/fetch_pipeline.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <optional>
#include <set>

#include "import/elevation_stages.h"
#include "import/cloud_ground_stage.h"
#include "import/building_models_stage.h"
#include "import/cloud_roofs_stage.h"
#include "import/general_plan_stage.h"
#include "import/osm_corridor_stage.h"
#include "import/label_point.h"
#include "import/surface_model_stage.h"
#include "import/reconstruction_stage.h"
#include "net/capabilities.h"
#include "net/county_registry.h"
#include "net/raster_tiles.h"
#include "net/service_hosts.h"
#include "net/sheet_index_text.h"
#include "net/wfs_requests.h"
#include "net/wfs_tiling.h"
#include "base/diag_log.h"

namespace kl::import {
namespace {

using geo::DataType;
using geo::GisFeature;

// Thrown from a tile callback so that a tiled request stops at the next tile;
// caught in fetchForImport, never leaves the worker.
struct FetchCancelled {};

// Every name when the filter keeps none.
std::vector<std::string> orAll(std::vector<std::string> chosen, const std::vector<std::string>& names) {
    return chosen.empty() ? names : chosen;
}

std::string joined(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& n : names) out += (out.empty() ? "" : ",") + n;
    return out;
}

class Pipeline {
public:
    Pipeline(FetchServices& s, const FetchRequest& r, const FetchHooks& h, FetchOutcome& out)
        : s_(s), r_(r), h_(h), out_(out), selected_(r.layers.begin(), r.layers.end()) {}

    void run() {
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

private:
    bool has(const char* key) const { return selected_.count(key) > 0; }
    void warn(const std::string& text) { appendWarning(out_.data.warning, text); }

    void checkCancel() const {
        if (h_.cancelled && h_.cancelled()) throw FetchCancelled{};
    }

    void report(const std::string& label, int done, int total, bool cancellable) const {
        if (h_.progress) h_.progress({label, done, total, cancellable});
    }

    // Progress of a tiled request that also stops it once cancel is asked.
    net::TileProgress tiles(std::string label) const {
        return [this, label = std::move(label)](int done, int total) {
            checkCancel();
            report(label, done, total, true);
        };
    }

    template <class Body>
    void stage(const std::string& name, Body body) {
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

    // Wall time of one step, kept even when the step is cut short.
    template <class Body>
    auto timed(const std::string& name, Body body) {
        struct Clock {
            FetchOutcome& out;
            const std::string& name;
            std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
            ~Clock() {
                const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
                out.stageSeconds.emplace_back(name, took.count());
            }
        } clock{out_, name};
        return body();
    }

    const std::string& commune() {
        if (!communeAsked_) {
            communeAsked_ = true;
            teryt_ = timed("gmina", [this] { return s_.communes.resolveCommuneTeryt(s_.client, r_.frame); });
            checkCancel();
            if (teryt_.empty() && !s_.communes.lastError().empty())
                warn("Usluga granic administracyjnych (PRG) nie odpowiada (" + s_.communes.lastError() + ").");
        }
        return teryt_;
    }

    void cadastre() {
        const std::string& teryt = commune();
        std::string endpoint;
        net::WfsLayerNames names;
        if (teryt.empty()) {
            warn("Nie udalo sie ustalic powiatu dla widoku.");
        } else if ((endpoint = egibWfs(teryt)).empty()) {
            warn("Powiat (TERYT " + teryt.substr(0, 4) + ") nie publikuje WFS EGiB w EZiU.");
        } else {
            const net::LayerNamesResult found = net::fetchLayerNames(s_.client, s_.wfs.layerNames, endpoint);
            checkCancel();
            if (!found.ok) {
                warn(found.error.empty()
                         ? "Powiatowa usluga WFS EGiB nie podaje warstwy dzialek ani budynkow - " + cadastreLost() +
                               " nie pobrano."
                         : "Powiatowa usluga WFS EGiB nie odpowiada (" + found.error + ") - " + cadastreLost() +
                               " nie pobrano.");
                endpoint.clear();
            }
            names = found.names;
        }
        if (!endpoint.empty()) {
            if (has("dzialki")) parcels_ = layer(endpoint, names.parcels, DataType::Parcels, "Import: dzialki");
            if (has("budynki")) buildings_ = layer(endpoint, names.buildings, DataType::Buildings, "Import: budynki");
            platform::appendDiagLine("ordvik_web_diag.txt",
                                     "KARTOLINK EGiB [TERYT " + teryt + "] " + endpoint + " | tn.dzialki='" +
                                         names.parcels + "' -> " + std::to_string(parcels_.size()) +
                                         " | tn.budynki='" + names.buildings + "' -> " +
                                         std::to_string(buildings_.size()));
        }
        addMissingLabelPoints(parcels_);
        if (has("dzialki") && parcels_.empty()) warn("Brak dzialek dla tego obszaru.");
        if (has("budynki") && buildings_.empty()) newBuildingsFallback();
    }

    // The cadastral kinds a failed EGiB service costs.
    std::string cadastreLost() const {
        if (has("dzialki") && has("budynki")) return "dzialek i budynkow";
        return has("dzialki") ? "dzialek" : "budynkow";
    }

    std::vector<GisFeature> layer(const std::string& endpoint, const std::string& typeName, DataType type,
                                  const std::string& label) {
        if (typeName.empty()) return {};
        report(label, 0, 1, true);
        net::LayerFetchResult got = timed(std::string(geo::dataTypeKey(type)), [&] {
            return net::fetchWfsLayer(s_.client, s_.wfs, endpoint, typeName, r_.frame, type, tiles(label));
        });
        warn(got.warning);
        return std::move(got.features);
    }

    void newBuildingsFallback() {
        if (!parcels_.empty())
            warn("Powiatowa usluga zwraca dzialki, ale nie filtruje budynkow po obszarze (blad konfiguracji serwera "
                 "powiatu - np. Zabrze).");
        const std::string label = "Import: budynki (BDOT10k)";
        report(label, 0, 1, true);
        net::TiledFetchResult got =
            net::getFeatureTiled(s_.client, net::nationalServiceUrl(net::kBdot10kNewBuildingsWfsPath), "ms:bud_2025",
                                 r_.frame, DataType::Buildings, tiles(label));
        warn(got.warning);
        if (got.features.empty()) return;
        buildings_ = std::move(got.features);
        warn("Budynki z BDOT10k NoweBudynki (fallback - tylko nowe obiekty).");
    }

    void plans() {
        const std::string& teryt = commune();
        if (teryt.empty()) {
            warn("MPZP/POG pominiete: nie udalo sie ustalic gminy (TERYT) dla widoku.");
            return;
        }
        if (has("pog")) {
            GeneralPlanZones got = timed("pog", [&] {
                return fetchGeneralPlanZones(s_.client, teryt, r_.frame, s_.registerWait);
            });
            checkCancel();
            warn(got.warning);
            planZones_ = std::move(got.zones);
        }
        if (has("mpzp")) localPlans(teryt);
    }

    void localPlans(const std::string& teryt) {
        const std::string own = endpoints(net::Registry::Mpzp, teryt).wms;
        const std::string wms =
            mapService(net::Registry::Mpzp, own, "Brak MPZP dla gminy " + teryt + ": brak uslugi WMS w EZiU");
        const bool drawn = countyRaster(wms, DataType::ZoningPlans, net::mpzpWmsLayers);
        const std::string source =
            own.empty() ? "krajowej uslugi " + net::nationalFallbackWms(net::Registry::Mpzp).name : "uslugi gminnej";
        warn(drawn ? "MPZP: pobrano rysunek planu (rastr) z " + source + " dla " + teryt + "."
                   : "MPZP gminy " + teryt + ": usluga WMS nie odpowiada albo nie ma rysunku planu.");
    }

    void utilities() {
        const std::string& teryt = commune();
        if (teryt.empty()) {
            warn("GESUT pominiety: nie udalo sie ustalic powiatu dla widoku.");
            return;
        }
        const net::CountyEndpoints svc = endpoints(net::Registry::Gesut, teryt);
        // A failing feature service is said inside; the county's map image
        // still shows the network then.
        if (!svc.wfs.empty()) utilityLines(svc.wfs);
        if (!utilities_.empty()) return;
        const std::string wms =
            mapService(net::Registry::Gesut, svc.wms, "GESUT: powiat nie publikuje uslugi w EZiU");
        if (countyRaster(wms, DataType::UtilityNetworks, [](const std::vector<std::string>& names) {
                return orAll(net::utilityWmsLayers(names), names);
            }))
            warn("GESUT jako rastr (" + std::string(svc.wms.empty() ? "WMS krajowy" : "WMS powiatowy") +
                 ") - brak WFS lub brak przewodow w WFS.");
        else
            warn("GESUT: powiatowa usluga nie odpowiada.");
    }

    // The utility lines of the county WFS; false when its capabilities could
    // not be read, which is then said instead of "no lines".
    bool utilityLines(const std::string& endpoint) {
        const net::HttpResponse caps = net::readCapabilities(s_.client, endpoint, "WFS");
        checkCancel();
        if (!caps.ok) {
            warn("GESUT: usluga WFS powiatu nie odpowiada (" + net::failureReason(caps.status, caps.error) +
                 ") - przewodow nie pobrano.");
            return false;
        }
        const std::vector<std::string> names = net::utilityWfsLayers(net::nameListFromCapabilities(caps.body));
        for (size_t i = 0; i < names.size(); ++i) {
            const std::string& name = names[i];
            // Each layer restarts at 0 %: its own label says which one runs.
            const std::string label =
                "GESUT (WFS) " + std::to_string(i + 1) + "/" + std::to_string(names.size()) + ": " + name;
            report(label, 0, 1, true);
            net::TiledFetchResult got =
                net::getFeatureTiled(s_.client, endpoint, name, r_.frame, DataType::UtilityNetworks, tiles(label));
            warn(got.warning);
            for (GisFeature& f : got.features) {
                f.attributes["rodzajSieci"] = name;
                utilities_.push_back(std::move(f));
            }
        }
        return true;
    }

    void baseMap() {
        const std::string& teryt = commune();
        const std::string own = teryt.empty() ? std::string() : endpoints(net::Registry::Bdot500, teryt).wms;
        const std::string wms =
            mapService(net::Registry::Bdot500, own, "BDOT500: powiat nie publikuje uslugi w EZiU");
        if (!countyRaster(wms, DataType::TopographicObjects, [](const std::vector<std::string>& names) {
                return orAll(net::bdot500WmsLayers(names), names);
            }))
            warn("BDOT500: usluga WMS nie odpowiada.");
    }

    // A registry's endpoints for the unit; a user's copy of the registry that
    // had to be set aside is said once a fetch.
    net::CountyEndpoints endpoints(net::Registry registry, const std::string& teryt) {
        registryNote(registry);
        return net::countyServicesForTeryt(registry, teryt);
    }

    std::string egibWfs(const std::string& teryt) {
        registryNote(net::Registry::Egib);
        return net::egibWfsForTeryt(teryt);
    }

    void registryNote(net::Registry registry) {
        if (notedRegistries_.insert(registry).second) warn(net::registryWarning(registry));
    }

    // The unit's own map service, else the national integration that gathers
    // the counties' (or communes') data, which is then named.
    std::string mapService(net::Registry registry, const std::string& own, const std::string& missing) {
        if (!own.empty()) return own;
        const net::NationalFallback national = net::nationalFallbackWms(registry);
        warn(missing + " - uzyto krajowej uslugi " + national.name + ".");
        return national.url;
    }

    void orthophoto() {
        if (!raster({net::nationalServiceUrl(net::kOrthophotoWmsPath), "Raster", net::kOrthophotoMetresPerPixel,
                     DataType::Rasters, r_.workingZone}))
            warn("Ortofotomapa WMS nie odpowiada - rastr pominiety.");
    }

    // A county or commune map image: its layers chosen from the service's
    // capabilities, asked in the working zone when the service offers it.
    template <class ChooseLayers>
    bool countyRaster(const std::string& wms, DataType type, ChooseLayers chooseLayers) {
        const net::HttpResponse caps = s_.client.get(net::buildCapabilitiesUrl(wms, "WMS"));
        checkCancel();
        if (caps.status != 200) return false;
        const std::vector<std::string> layers = chooseLayers(net::nameListFromCapabilities(caps.body));
        if (layers.empty()) return false;
        return raster({wms, joined(layers), net::countyRasterMetresPerPixel(r_.rasterScale), type,
                       net::wmsCrsFor(caps.body, r_.workingZone)});
    }

    // True when at least one tile came. Tiles that did not come are named,
    // so a partly covered frame is never taken for a whole one.
    bool raster(const net::RasterSource& source) {
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
    const TerrainSheets& terrainSheets(const std::string& progressLabel, const std::string& warningPrefix) {
        if (!terrainSheets_) {
            terrainSheets_ = timed("NMT", [&] {
                return loadTerrainSheets(s_.client, r_.frame, net::currentUtcYear(), progressLabel, warningPrefix,
                                         stageIo());
            });
            if (terrainSheets_->load.cancelled) throw FetchCancelled{};
        }
        return *terrainSheets_;
    }

    StageIo stageIo() {
        return {[this](const std::string& text) { warn(text); },
                [this](const std::string& label, int done, int total) { report(label, done, total, true); },
                [this] { return h_.cancelled && h_.cancelled(); }};
    }

    void terrainTiles() {
        out_.data.terrainTiles =
            terrainTilesFromSheets(terrainSheets("Pobieranie NMT", "Teren: "), r_.frame, r_.terrainStep, stageIo());
    }

    void surfaceModelBuildings() {
        const TerrainSheets& nmt = terrainSheets("Budynki (nMPT): pobieranie NMT", "Budynki nMPT: ");
        out_.data.surfaceModelBlocks = surfaceModelBlocks(s_.client, out_.data.lod1Buildings, r_.frame, nmt, stageIo());
        checkCancel();
    }

    void roofsFromCloud() {
        out_.data.cloudRoofs = cloudRoofs(s_.client, out_.data.lod1Buildings, r_.frame, r_.workingZone, stageIo());
        checkCancel();
    }

    void cloudGround() {
        const CloudGroundRequest request{has("terenchmura"), has("poziomicechmura"), has("wodachmura"),
                                         r_.cloudStep, r_.contourInterval, r_.smoothContours, net::currentUtcYear()};
        CloudGroundStage got = fetchCloudGround(s_.client, r_.frame, request, stageIo());
        if (got.cancelled) throw FetchCancelled{};
        out_.data.cloudGround = std::move(got.ground);
    }

    void elevationContours() {
        if (!contourIntervalAllowed(r_.contourInterval, "Poziomice: ", stageIo())) return;
        ElevationContours got = contoursFromSheets(terrainSheets("Poziomice: NMT", "Poziomice: "), r_.frame,
                                                   {r_.contourInterval, r_.terrainStep, r_.smoothContours}, stageIo());
        if (got.cancelled) throw FetchCancelled{};
        out_.data.contours = std::move(got.contours);
    }

    void corridors() {
        const int year = net::currentUtcYear();
        out_.data.corridors = fetchCorridorBodies(s_.client, {r_.frame, has("mosty"), has("drogi"), year},
                                                  terrainSheets("Mosty/drogi: korytarze", "Mosty/drogi: "), stageIo());
        checkCancel();
    }


    FetchServices& s_;
    const FetchRequest& r_;
    const FetchHooks& h_;
    FetchOutcome& out_;
    std::set<std::string, std::less<>> selected_;
    std::set<net::Registry> notedRegistries_;
    bool communeAsked_ = false;
    std::string teryt_;
    std::vector<GisFeature> parcels_, buildings_, planZones_, utilities_;
    std::vector<net::RasterTile> rasters_;
    std::optional<TerrainSheets> terrainSheets_;
};

}  // namespace

FetchOutcome fetchForImport(FetchServices& services, const FetchRequest& request, const FetchHooks& hooks,
                            std::string warning) {
    FetchOutcome out;
    out.data.warning = std::move(warning);
    try {
        Pipeline(services, request, hooks, out).run();
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
