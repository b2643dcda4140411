#include "tools/import/batch_import.h"

#include <chrono>
#include <cstdlib>

#include "host/core/workbench.h"
#include "import/import_controller.h"
#include "base/main_thread.h"
#include "base/atomic_file.h"
#include "base/worker_registry.h"
#include "placement/fetch_placing.h"
#include "tools/import/addon_binding.h"
#include "tools/import/dxf_writer.h"
#include "tools/import/project_drawing.h"

namespace kl::tools {
namespace {

using nlohmann::json;

class Session {
public:
    Session() {
        bindAddonToHost(&host::Workbench::hostTable());
        controller_.setPageLink({[this](const std::string& type, json m) {
                                     m["type"] = type;
                                     pushed_.push_back(std::move(m));
                                 },
                                 [] { return true; },
                                 [](std::function<void()> task) { return postToMain(std::move(task)); }});
        controller_.registerHandlers(bridge_);
        bridge_.setSender([this](const std::string& text) { pushed_.push_back(json::parse(text)); });
    }
    ~Session() {
        while (WorkerRegistry::instance().running() > 0) wb_.executor().runFor(std::chrono::milliseconds(50));
        bindAddonToHost(nullptr);
    }

    // Sends a message and runs the main thread until one of the awaited types arrives.
    json exchange(const json& message, std::initializer_list<const char*> awaited, int timeoutSeconds) {
        pushed_.clear();
        bridge_.onMessage(message.dump());
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
        for (std::size_t seen = 0;;) {
            for (; seen < pushed_.size(); ++seen)
                for (const char* type : awaited)
                    if (pushed_[seen].value("type", "") == type) return pushed_[seen];
            if (std::chrono::steady_clock::now() > end) return {{"type", "error"}, {"msg", "Przekroczono czas oczekiwania."}};
            wb_.executor().runFor(std::chrono::milliseconds(50));
        }
    }
    // Runs the main thread until the terrain height under the origin is in.
    void awaitOriginHeight(int timeoutSeconds) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
        while (controller_.heightSamplePending() && std::chrono::steady_clock::now() < end)
            wb_.executor().runFor(std::chrono::milliseconds(50));
    }
    host::Workbench& workbench() { return wb_; }

private:
    host::Workbench wb_;
    import::ImportController controller_{settings::settingsFilePath(), [] { return &host::Workbench::hostTable(); },
                                         settings::configuredServiceHosts(), placement::placeFetched};
    Bridge bridge_;
    std::vector<json> pushed_;
};

}  // namespace

BatchResult runBatchImport(const BatchOptions& o) {
    BatchResult result;
    Session s;
    const json origin = s.exchange({{"type", "setOrigin"}, {"lat", (o.south + o.north) / 2}, {"lon", (o.west + o.east) / 2}},
                                   {"originSet", "error"}, 10);
    if (origin.value("type", "") != "originSet") {
        result.message = origin.value("msg", "");
        return result;
    }
    const json fetched = s.exchange(
        {{"type", "fetch"}, {"bboxWgs84", {o.west, o.south, o.east, o.north}}, {"layers", o.layers}},
        {"fetchDone", "error", "cancelled"}, o.timeoutSeconds);
    if (fetched.value("type", "") != "fetchDone") {
        result.message = fetched.value("msg", "Anulowano");
        return result;
    }
    s.awaitOriginHeight(o.timeoutSeconds);
    const json placed = s.exchange({{"type", "place"}}, {"placeDone", "error"}, o.timeoutSeconds);
    if (placed.value("type", "") != "placeDone") {
        result.message = placed.value("msg", "");
        return result;
    }
    result.placed = placed["counts"].get<std::map<std::string, int>>();
    result.message = placed.value("warning", "");

    const host::Project& project = s.workbench().project();
    const std::vector<DxfEntity> entities = drawingOf(project, result.elements);
    result.dxfEntities = entities.size();
    const auto dxfPath = o.dxfOut.empty() ? std::filesystem::path(o.jsonOut).replace_extension(".dxf") : o.dxfOut;
    const settings::FileWriteResult jsonWrite = settings::replaceFileAtomically(o.jsonOut, project.serialise(true));
    const settings::FileWriteResult dxfWrite =
        jsonWrite.ok ? settings::replaceFileAtomically(dxfPath, dxfDocument(entities)) : settings::FileWriteResult{};
    if (!jsonWrite.ok || !dxfWrite.ok) {
        result.message = !jsonWrite.ok ? jsonWrite.message
                                       : dxfWrite.message + " - plik JSON " + o.jsonOut.string() + " jest juz zapisany";
        return result;
    }
    result.ok = true;
    return result;
}

}  // namespace kl::tools
