// The stages served by the county and commune services that the registries
// name: the cadastre (with the national new-buildings layer when the county
// gives no buildings), the plans, the utility networks and the base map.
#include <algorithm>
#include <iterator>

#include "base/diag_log.h"
#include "import/fetch_run.h"
#include "import/general_plan_stage.h"
#include "import/label_point.h"
#include "net/capabilities.h"
#include "net/service_hosts.h"
#include "net/wfs_layer_fetch.h"
#include "net/wfs_requests.h"

namespace kl::import {
namespace {

using geo::DataType;
using geo::GisFeature;

// Every name when the filter keeps none.
std::vector<std::string> orAll(std::vector<std::string> chosen, const std::vector<std::string>& names) {
    return chosen.empty() ? names : chosen;
}

std::string joined(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& n : names) out += (out.empty() ? "" : ",") + n;
    return out;
}

}  // namespace

void FetchRun::cadastre() {
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
std::string FetchRun::cadastreLost() const {
    if (has("dzialki") && has("budynki")) return "dzialek i budynkow";
    return has("dzialki") ? "dzialek" : "budynkow";
}

std::vector<GisFeature> FetchRun::layer(const std::string& endpoint, const std::string& typeName, DataType type,
                                        const std::string& label) {
    if (typeName.empty()) return {};
    report(label, 0, 1, true);
    net::LayerFetchResult got = timed(std::string(geo::dataTypeKey(type)), [&] {
        return net::fetchWfsLayer(s_.client, s_.wfs, endpoint, typeName, r_.frame, type, tiles(label));
    });
    warn(got.warning);
    return std::move(got.features);
}

void FetchRun::newBuildingsFallback() {
    if (!parcels_.empty())
        warn("Powiatowa usluga zwraca dzialki, ale nie filtruje budynkow po obszarze (blad konfiguracji serwera "
             "powiatu - np. Zabrze).");
    const std::string label = "Import: budynki (BDOT10k)";
    report(label, 0, 1, true);
    const std::string url = net::nationalServiceUrl(s_.client.hosts(), net::kBdot10kNewBuildingsWfsPath);
    net::TiledFetchResult got =
        net::getFeatureTiled(s_.client, url, "ms:bud_2025", r_.frame, DataType::Buildings, tiles(label));
    warn(got.warning);
    if (got.features.empty()) return;
    buildings_ = std::move(got.features);
    warn("Budynki z BDOT10k NoweBudynki (fallback - tylko nowe obiekty).");
}

void FetchRun::plans() {
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

void FetchRun::localPlans(const std::string& teryt) {
    const std::string own = endpoints(net::Registry::Mpzp, teryt).wms;
    const std::string wms =
        mapService(net::Registry::Mpzp, own, "Brak MPZP dla gminy " + teryt + ": brak uslugi WMS w EZiU");
    const bool drawn = countyRaster(wms, DataType::ZoningPlans, net::mpzpWmsLayers);
    const std::string source =
        own.empty() ? "krajowej uslugi " + net::nationalFallbackWms(net::Registry::Mpzp).name : "uslugi gminnej";
    warn(drawn ? "MPZP: pobrano rysunek planu (rastr) z " + source + " dla " + teryt + "."
               : "MPZP gminy " + teryt + ": usluga WMS nie odpowiada albo nie ma rysunku planu.");
}

void FetchRun::utilities() {
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
bool FetchRun::utilityLines(const std::string& endpoint) {
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

void FetchRun::baseMap() {
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
net::CountyEndpoints FetchRun::endpoints(net::Registry registry, const std::string& teryt) {
    registryNote(registry);
    return net::countyServicesForTeryt(registry, teryt);
}

std::string FetchRun::egibWfs(const std::string& teryt) {
    registryNote(net::Registry::Egib);
    return net::egibWfsForTeryt(teryt);
}

void FetchRun::registryNote(net::Registry registry) {
    if (notedRegistries_.insert(registry).second) warn(net::registryWarning(registry));
}

// The unit's own map service, else the national integration that gathers
// the counties' (or communes') data, which is then named.
std::string FetchRun::mapService(net::Registry registry, const std::string& own, const std::string& missing) {
    if (!own.empty()) return own;
    const net::NationalFallback national = net::nationalFallbackWms(registry);
    warn(missing + " - uzyto krajowej uslugi " + national.name + ".");
    return national.url;
}

// A county or commune map image: its layers chosen from the service's
// capabilities, asked in the working zone when the service offers it.
bool FetchRun::countyRaster(const std::string& wms, DataType type, LayerChoice chooseLayers) {
    const net::HttpResponse caps = s_.client.get(net::buildCapabilitiesUrl(wms, "WMS"));
    checkCancel();
    if (caps.status != 200) return false;
    const std::vector<std::string> layers = chooseLayers(net::nameListFromCapabilities(caps.body));
    if (layers.empty()) return false;
    return raster({wms, joined(layers), net::countyRasterMetresPerPixel(r_.rasterScale), type,
                   net::wmsCrsFor(caps.body, r_.workingZone)});
}

}  // namespace kl::import
