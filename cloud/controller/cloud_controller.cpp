#include "cloud/controller/cloud_controller.h"

#include <cmath>
#include <filesystem>
#include <utility>

#include "cloud/controller/cloud_completion.h"
#include "cloud/controller/cloud_frame.h"
#include "cloud/lidar/lidar_resolver.h"
#include "cloud/pipeline/cloud_output.h"
#include "geodata/polish_crs.h"
#include "net/sheet_index_text.h"
#include "net/wfs_client.h"
#include "base/controller_registry.h"
#include "base/folders.h"
#include "base/host_access.h"
#include "base/temporary_names.h"
#include "shell/settings/project_georef.h"
#include "base/worker_registry.h"

namespace kl::cloud {
namespace {

using json = nlohmann::json;


json estimateReply(const cloudui::Estimate& e) {
    return {{"type", "estimateDone"}, {"points", e.points}, {"sizeMB", e.sizeMB}, {"overLimit", e.overLimit},
            {"density", e.density}};
}

double frameArea(const geo::Bbox& b) { return (b.maxX - b.minX) * (b.maxY - b.minY); }

cloudui::Detail detailOf(const json& msg) {
    const auto it = msg.find("detail");
    return it != msg.end() && it->is_string() ? cloudui::detailFromText(it->get<std::string>()) : cloudui::Detail::Standard;
}

// Only a real true asks for the LAZ copy; anything else keeps the E57 alone.
bool lazRequested(const json& msg) {
    const auto it = msg.find("laz");
    return it != msg.end() && it->is_boolean() && it->get<bool>();
}

CloudEnvironment productionEnvironment() {
    CloudEnvironment env(settings::configuredServiceHosts());
    env.send = [](const std::string& type, json obj) { shell::sendToPage(shell::PaletteKind::Cloud, type, std::move(obj)); };
    env.post = [](std::function<void()> task, std::function<void()> onFailure) {
        return shell::postForPage(shell::PaletteKind::Cloud, std::move(task), std::move(onFailure));
    };
    env.outputDir = platform::privateWorkDir("Ordvik_Cloud").string();
    env.keepDir = (platform::roamingAppDataDir() / "Ordvik_Cloud").string();
    return env;
}

// The finished cloud is the host's information alert, since the user has to
// act on it (import the file); a host without alerts gets it in its report.
void announceCloud(const std::string& text) {
    if (hostAlert(KL_ALERT_INFORMATION, "Ordvik Cloud", text.c_str(), "OK", nullptr)) return;
    if (host()) host()->WriteReport(("Ordvik Cloud\n" + text).c_str(), 1);
}

}  // namespace

CloudController& CloudController::instance() {
    static CloudController controller(productionEnvironment());
    return controller;
}

CloudController::CloudController(CloudEnvironment env) : env_(std::move(env)) {}

void CloudController::registerHandlers(Bridge& bridge) {
    bridge.on("frameEstimate", [this](const json& m) { return onFrameEstimate(m); });
    bridge.on("download", [this](const json& m) { return onDownload(m); });
    bridge.on("cancel", [this](const json& m) { return onCancel(m); });
    bridge.on("setOrigin", [this](const json& m) { return onSetOrigin(m); });
}

json CloudController::onFrameEstimate(const json& msg) {
    const auto frame = cloudFrameFromMessage(msg);
    if (!frame) return errorReply("Nieprawidlowy bbox");
    const auto detail = detailOf(msg);
    const double area = frameArea(frame->pl1992);
    const double used = state_->density.load();
    const json reply = estimateReply(cloudui::estimateCloud(area, used, detail));

    // Learn the real density from the index in the background; only the
    // newest request may answer again.
    const EstimateJob job{frame->pl1992, detail, area, used, ++state_->estimateGeneration};
    {
        std::lock_guard<std::mutex> lock(state_->estimateMutex);
        state_->nextEstimate = job;
        if (state_->estimating) return reply;
        state_->estimating = true;
    }
    auto shared = state_;
    auto env = env_;
    const auto started = WorkerRegistry::instance().start("cloud-estimate", [shared, env](const CancelToken& token) {
        while (const auto next = shared->takeEstimate())
            if (!token.cancelled()) refineEstimate(shared, env, *next, token);
    });
    if (!started) {
        std::lock_guard<std::mutex> lock(state_->estimateMutex);
        state_->estimating = false;
        state_->nextEstimate.reset();
    }
    return reply;
}

std::optional<CloudController::EstimateJob> CloudController::Shared::takeEstimate() {
    std::lock_guard<std::mutex> lock(estimateMutex);
    auto job = std::exchange(nextEstimate, std::nullopt);
    if (!job) estimating = false;
    return job;
}

void CloudController::refineEstimate(const std::shared_ptr<Shared>& shared, const CloudEnvironment& env,
                                     const EstimateJob& job, const CancelToken& token) {
    const auto stale = [&] { return token.cancelled() || shared->estimateGeneration.load() != job.generation; };
    net::WfsClient client(env.timings, env.hosts);
    client.stopWhen(stale);
    LidarResolver resolver(client);
    const auto query = resolver.query(job.box, env.currentYear ? env.currentYear : net::currentUtcYear(), stale);
    double best = 0;
    for (const auto& t : query.tiles) best = std::max(best, t.density);
    if (best <= 0 || stale()) return;
    shared->density.store(best);
    if (std::fabs(best - job.used) < 0.01) return;
    const json refined = estimateReply(cloudui::estimateCloud(job.area, best, job.detail));
    // The page may ask for a newer frame while this is on its way to the main
    // thread; an older frame's figures must not come after that answer.
    env.post(
        [env, refined, shared, generation = job.generation] {
            if (shared->estimateGeneration.load() == generation) env.send("estimateDone", refined);
        },
        {});
}

json CloudController::onDownload(const json& msg) {
    if (busy_) return errorReply("Trwa pobieranie danych - sprobuj za chwile");
    const auto frame = cloudFrameFromMessage(msg);
    if (!frame) return errorReply("Nieprawidlowy bbox");
    int placeEpsg = geo::pl2000EpsgForLongitude((frame->west + frame->east) / 2);
    // A project already in a PL-2000 zone keeps its zone.
    const auto georef = settings::readProjectGeoref(host());
    if (georef.level == settings::GeorefLevel::Exact && geo::isPl2000Epsg(georef.epsg)) placeEpsg = georef.epsg;
    const bool originSet = georef.level == settings::GeorefLevel::Exact && georef.epsg == placeEpsg;
    startDownload(frame->pl1992, detailOf(msg), placeEpsg, georef.easting, georef.northing, georef.height, originSet,
                  lazRequested(msg));
    return nullptr;
}

json CloudController::onCancel(const json&) {
    state_->cancelRequested.store(true);
    return {{"type", "cancelled"}};
}

void CloudController::startDownload(const geo::Bbox& frame, cloudui::Detail detail, int placeEpsg, double originE,
                                    double originN, double originZ, bool originSet, bool alsoLaz) {
    busy_ = true;
    state_->cancelRequested.store(false);
    env_.send("progress", {{"label", "Pobieranie skorowidza LiDAR"}, {"pct", 0.0}});

    CloudDownloadRequest req;
    req.frame = frame;
    req.detail = detail;
    req.placeEpsg = placeEpsg;
    req.originSet = originSet;
    req.originE = originE;
    req.originN = originN;
    req.originZ = originZ;
    req.outputFile = (std::filesystem::path(env_.outputDir) / "import.e57").string();
    if (alsoLaz) req.lazOutputFile = (std::filesystem::path(env_.outputDir) / "import.laz").string();
    req.currentYear = env_.currentYear;
    auto shared = state_;
    auto env = env_;
    const auto started = WorkerRegistry::instance().start("cloud-download", [this, shared, env, req](const CancelToken& token) {
        const auto cancelled = [&] { return shared->cancelRequested.load() || token.cancelled(); };
        CloudDownloadResult result;
        try {
            net::WfsClient client(env.timings, env.hosts);
            client.stopWhen(cancelled);
            LidarResolver resolver(client);
            result = runCloudDownload(
                req, resolver,
                [&env](const CloudProgress& p) {
                    json e = {{"label", p.label}, {"pct", p.pct}};
                    if (p.cancellable) e["cancellable"] = true;
                    env.post([env, e] { env.send("progress", e); }, {});
                },
                cancelled);
        } catch (const std::exception& e) {
            result = {};
            result.message = std::string("Blad pobierania chmury: ") + e.what();
        }
        // At quit the controller may be gone: nothing is handed over then.
        if (token.cancelled()) return;
        env.post([this, result] { complete(result); }, [this] { busy_ = false; });
    });
    if (!started) {
        busy_ = false;
        env_.send("downloadDone", {{"ok", false}, {"msg", "Blad pobierania chmury: dodatek jest zamykany."}});
    }
}

void CloudController::complete(const CloudDownloadResult& r) {
    busy_ = false;
    bool ok = r.ok;
    std::string msg = r.message;
    const std::string partial = partialCloudNote(r);
    if (ok) {
        writeCloudDiagnostics(r, host());
        for (const char* kept : {kKeptE57Name, kKeptLazName})
            platform::sweepStaleTemporaries((std::filesystem::path(env_.keepDir) / kept).string());
        const std::string copy = keepLastCloud(r.filePath, env_.keepDir);
        const std::string lazCopy = copy.empty() || r.lazPath.empty() ? std::string()
                                                                       : keepLastCloud(r.lazPath, env_.keepDir, kKeptLazName);
        // A cloud without a LAZ: an earlier cloud's LAZ beside it would pass
        // for this one's.
        if (!copy.empty() && r.lazPath.empty()) {
            std::error_code ec;
            std::filesystem::remove(std::filesystem::path(env_.keepDir) / kKeptLazName, ec);
        }
        if (copy.empty() || (!r.lazPath.empty() && lazCopy.empty())) {
            ok = false;
            msg = "Nie udalo sie zapisac chmury punktow w " + env_.keepDir + ".";
        } else {
            const std::string ready = partial.empty() ? "Chmura punktow gotowa i zgrana z projektem." : partial;
            announceCloud(ready + "\nZaimportuj ja: Plik > Interoperacyjnosc > Chmura punktow -> wskaz plik:\n" + copy);
            msg = "Chmura zapisana: " + copy + " - zaimportuj: Plik > Interoperacyjnosc > Chmura punktow.";
            if (!lazCopy.empty()) msg += " Kopia LAZ: " + lazCopy + ".";
            if (!partial.empty()) msg += " " + partial;
        }
    }
    if (host())
        for (const auto& w : r.warnings) host()->WriteReport(("Ordvik Cloud: " + w).c_str(), 0);
    if (!ok && !r.warnings.empty())
        msg += " Ostrzezenia w raporcie: " + std::to_string(r.warnings.size()) + ".";
    env_.send("downloadDone", {{"ok", ok}, {"msg", msg}});
}

json CloudController::onSetOrigin(const json& msg) {
    const auto lat = msg.find("lat");
    const auto lon = msg.find("lon");
    if (lat == msg.end() || lon == msg.end()) return errorReply("Brak wspolrzednych srodka mapy");
    // The same record as the map page writes: the location's latitude and
    // longitude move with the survey point, and a centre outside Poland is
    // refused before anything is written.
    const auto origin = settings::setProjectOrigin(host(), lat->get<double>(), lon->get<double>());
    if (!origin.error.empty()) return errorReply(origin.error);
    return {{"type", "originSet"}, {"e", origin.easting}, {"n", origin.northing}};
}

}  // namespace kl::cloud
