// "fetch" and "cancel": the request is checked on the main thread, the
// pipeline runs on a tracked worker, and its outcome comes back through the
// page link's post. busy and the stored result change on the main thread only.
#include <cstdint>
#include <exception>
#include <utility>

#include "geodata/geojson.h"
#include "geodata/polish_crs.h"
#include "import/import_controller.h"
#include "base/main_thread.h"
#include "base/controller_registry.h"
#include "shell/settings/project_georef.h"
#include "base/worker_registry.h"

namespace kl::import {
namespace {

using nlohmann::json;

json progressEvent(const FetchProgress& p) {
    json e = {{"done", p.done}, {"total", p.total}, {"label", p.label}};
    if (p.cancellable) e["cancellable"] = true;
    return e;
}

}  // namespace

PageLink PageLink::mapPalette() {
    return {[](const std::string& type, json message) { shell::sendToPage(shell::PaletteKind::Map, type, std::move(message)); },
            [] { return shell::pageIsOpen(shell::PaletteKind::Map); },
            [](std::function<void()> task) { return postToMain(std::move(task)); }};
}

void ImportController::setFetchTimings(net::HttpTimings timings, net::RegisterWait registerWait) {
    services_ = std::make_shared<FetchServices>(timings, hosts_);
    services_->registerWait = std::move(registerWait);
}

int ImportController::fetchZoneFor(const FetchRequest& request) const {
    const settings::ProjectGeoref georef = settings::readProjectGeoref(host_());
    if (georef.level == settings::GeorefLevel::Exact && geo::isPl2000Epsg(georef.epsg)) return georef.epsg;
    return geo::pl2000EpsgForLongitude((request.west + request.east) / 2.0);
}

json ImportController::onFetch(const json& msg) {
    const auto box = msg.find("bboxWgs84");
    if (box == msg.end() || !box->is_array() || box->size() != 4) return errorReply("Nieprawidlowy bbox");
    if (busy_) return errorReply("Trwa pobieranie danych - sprobuj za chwile");
    FetchRequestCheck check = readFetchRequest(msg);
    if (!check.request) return errorReply(std::move(check.error));
    check.request->workingZone = fetchZoneFor(*check.request);
    startFetch(std::move(*check.request));
    return nullptr;
}

json ImportController::onCancel(const json&) {
    cancelRequested_->exchange(true);
    // While a worker runs, "cancelled" goes out once it has really stopped.
    if (busy_) return nullptr;
    return {{"type", "cancelled"}};
}

// What the worker owns: its copy of the request, the shared services and the
// way back to the main thread.
struct ImportController::FetchJob {
    FetchRequest request;
    std::shared_ptr<FetchServices> services;
    std::shared_ptr<std::atomic<bool>> cancel;
    PageLink link;
    std::weak_ptr<bool> controllerLife;
    ImportController* controller = nullptr;
};

void ImportController::startFetch(FetchRequest request) {
    busy_ = true;
    cancelRequested_->store(false);
    link_.send("progress", {{"done", 0}, {"total", 1}, {"label", "Pobieranie warstw"}});

    auto job = std::make_shared<FetchJob>(
        FetchJob{std::move(request), services_, cancelRequested_, link_, life_, this});
    const auto started = WorkerRegistry::instance().start<FetchJob>(
        "import-fetch", job, [](FetchJob& j, const CancelToken& token) {
            FetchHooks hooks;
            hooks.cancelled = [&j, token] { return j.cancel->load() || token.cancelled(); };
            hooks.progress = [&j](const FetchProgress& p) {
                j.link.post([link = j.link, life = j.controllerLife, e = progressEvent(p)]() mutable {
                    if (!life.expired() && link.alive()) link.send("progress", std::move(e));
                });
            };
            FetchOutcome outcome = fetchForImport(*j.services, j.request, hooks);
            auto done = std::make_shared<FetchOutcome>(std::move(outcome));
            j.link.post([life = j.controllerLife, controller = j.controller, request = j.request, done]() {
                if (!life.expired()) controller->finishFetch(request, std::move(*done));
            });
        });
    if (!started) {
        busy_ = false;
        link_.send("error", {{"msg", "Nie mozna uruchomic pobierania (dodatek jest zamykany)."}});
    }
}

void ImportController::finishFetch(const FetchRequest& request, FetchOutcome outcome) {
    busy_ = false;
    if (outcome.cancelled || cancelRequested_->load()) {
        link_.send("cancelled", json::object());
        return;
    }
    // A page that is gone never saw the request; its result is not kept.
    if (!link_.alive()) return;

    fetched_ = std::move(outcome.data);
    placed_.forget();
    // The stored result is placed with the zone and options it was fetched
    // with; a later fetch that is cancelled or dropped changes none of them.
    fetchedBbox_ = request.frame;
    fetchedLayers_ = {request.layers.begin(), request.layers.end()};
    projectEpsg_ = request.workingZone;
    cloudStep_ = request.cloudStep;
    smoothContours_ = request.smoothContours;
    hasFetched_ = fetched_.holdsAnything();

    json reply = {{"counts", fetchCounts(fetched_)}};
    if (!fetched_.features.empty()) reply["geojson"] = geo::toGeoJson(fetched_.features);
    const KlHostFunctions* host = host_();
    if (host && host->WriteReport)
        for (const std::string& line : fetched_.reportLines) host->WriteReport(line.c_str(), 0);
    if (!fetched_.warning.empty()) {
        reply["warning"] = fetched_.warning;
        if (host && host->WriteReport) host->WriteReport(("KARTOLINK: " + fetched_.warning).c_str(), 0);
    }
    if (!hasFetched_ && fetched_.warning.empty()) reply["warning"] = "Nic nie pobrano dla tego obszaru.";
    link_.send("fetchDone", std::move(reply));
}

}  // namespace kl::import
