#include "import/import_controller.h"

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "geodata/polish_crs.h"
#include "import/fetch_request.h"
#include "import/init_reply.h"
#include "base/folders.h"
#include "base/entry_barrier.h"
#include "shell/settings/project_georef.h"

namespace kl::import {
namespace {

using nlohmann::json;

std::vector<std::string> projectLayerNames(const KlHostFunctions* host) {
    std::vector<std::string> names;
    if (!host || !host->ListAttributes) return names;
    host->ListAttributes(
        KL_ATTR_LAYER,
        [](void* ctx, const KlAttribute* attr) noexcept {
            if (!attr) return;
            platform::guarded("layer names", [ctx, attr] {
                static_cast<std::vector<std::string>*>(ctx)->emplace_back(attr->name, strnlen(attr->name, sizeof attr->name));
            });
        },
        &names);
    return names;
}

// The controller whose page hears of the host's undo and redo.
ImportController* historyListener = nullptr;

KlErr onProjectHistory(int32_t) noexcept {
    platform::guarded("undo/redo", [] {
        if (historyListener) historyListener->onHistoryChanged();
    });
    return KL_NOERROR;
}

}  // namespace

ImportController::ImportController(std::filesystem::path settingsFile, HostSource host, settings::ServiceHosts hosts,
                                   PlaceStep place)
    : settingsFile_(std::move(settingsFile)),
      host_(std::move(host)),
      hosts_(std::move(hosts)),
      placeStep_(std::move(place)) {
    settings::LoadedSettings loaded = settings::loadSettings(settingsFile_);
    settings_ = std::move(loaded.settings);
    settingsNotice_ = std::move(loaded.message);
    const KlHostFunctions* h = host_();
    if (!settingsNotice_.empty() && h && h->WriteReport) h->WriteReport(("KARTOLINK: " + settingsNotice_).c_str(), 0);
}

ImportController::~ImportController() {
    if (historyListener == this) historyListener = nullptr;
}

void ImportController::registerHandlers(Bridge& bridge) {
    historyListener = this;
    if (const KlHostFunctions* h = host_(); h && h->CatchProjectEvent)
        h->CatchProjectEvent(KL_EVENT_UNDO | KL_EVENT_REDO, &onProjectHistory);
    bridge.on("fetch", [this](const json& m) { return onFetch(m); });
    bridge.on("place", [this](const json& m) { return onPlace(m); });
    bridge.on("setOrigin", [this](const json& m) { return onSetOrigin(m); });
    bridge.on("getLayers", [this](const json& m) { return onGetLayers(m); });
    bridge.on("settingsChanged", [this](const json& m) { return onSettingsChanged(m); });
    bridge.on("getInit", [this](const json& m) { return onGetInit(m); });
    bridge.on("cancel", [this](const json& m) { return onCancel(m); });
    bridge.on("searchAddress", [this](const json& m) { return onSearchAddress(m); });
    bridge.on("searchAddressSuggest", [this](const json& m) { return onSearchAddressSuggest(m); });
}

void ImportController::onHistoryChanged() {
    if (!placed_.known()) return;
    link_.send("placedState", {{"placed", placed_.inProject(host_())}});
}

settings::FileWriteResult ImportController::saveSettings() { return settings::saveSettings(settings_, settingsFile_); }

json ImportController::onGetInit(const json&) {
    json reply = initReply(host_(), hosts_);
    if (!settingsNotice_.empty()) reply["notice"] = settingsNotice_;
    return reply;
}

json ImportController::onGetLayers(const json&) {
    json mapping = json::object();
    for (const auto& [type, layer] : settings_.layers) mapping[std::string(geo::dataTypeKey(type))] = layer;
    return {{"type", "layerList"}, {"layers", projectLayerNames(host_())}, {"mapping", std::move(mapping)}};
}

json ImportController::onSettingsChanged(const json& msg) {
    const auto mapping = msg.find("mapping");
    if (mapping == msg.end() || !mapping->is_object()) return errorReply("Pole \"mapping\" musi byc obiektem.");
    // Every value is checked before any is taken, so a bad entry changes nothing.
    std::vector<std::pair<geo::DataType, std::string>> changes;
    for (const geo::DataType t : geo::allDataTypes()) {
        const std::string key(geo::dataTypeKey(t));
        const auto entry = mapping->find(key);
        if (entry == mapping->end()) continue;
        if (!entry->is_string() || !settings::isUsableLayerName(entry->get_ref<const std::string&>()))
            return errorReply("Nieprawidlowa nazwa warstwy dla \"" + key +
                         "\": nazwa musi byc niepustym tekstem bez znakow sterujacych.");
        changes.emplace_back(t, entry->get<std::string>());
    }
    for (auto& [type, name] : changes) settings::setLayer(settings_, type, name);
    const settings::FileWriteResult saved = saveSettings();
    if (!saved.ok)
        return errorReply("Nie zapisano ustawien: " + saved.message + ". Zmiany obowiazuja do zamkniecia programu.");
    settingsNotice_.clear();  // what it warned about is now replaced
    return {{"type", "settingsSaved"}};
}

json ImportController::onSetOrigin(const json& msg) {
    if (!msg.contains("lat") || !msg.contains("lon")) return errorReply("Brak wspolrzednych srodka mapy");
    for (const char* field : {"lat", "lon"})
        if (!msg.at(field).is_number()) return errorReply(std::string("Pole \"") + field + "\" musi byc liczba.");
    const auto origin = settings::setProjectOrigin(host_(), msg.at("lat").get<double>(), msg.at("lon").get<double>());
    if (!origin.error.empty()) return errorReply(origin.error);
    const geo::Point2d p{origin.easting, origin.northing};
    const int zone = origin.zoneEpsg;
    startHeightSample(p, zone);
    return {{"type", "originSet"}, {"e", p.x}, {"n", p.y}, {"h", 0.0}, {"epsg", zone}};
}

}  // namespace kl::import
