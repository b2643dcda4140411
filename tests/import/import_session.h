#pragma once
// The local geoportal with the demo site, and a controller on a workbench
// project wired to it as the map palette wires it, with the page's side
// recorded: what the bridge answered and what was pushed.
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "import/elevation_stages.h"
#include "import/import_controller.h"
#include "tools/geoportal/geoportal_server.h"

namespace kl::host {
class Workbench;
}

namespace kl::testing {

// What a stage says, in order; cancelled from the start if asked.
struct Said {
    std::vector<std::string> warnings;
    import::StageIo io(bool cancelled = false) {
        return {[this](const std::string& t) {
                    if (!t.empty()) warnings.push_back(t);
                },
                [](const std::string&, int, int) {}, [cancelled] { return cancelled; }};
    }
};

// Every service host of the add-on pointed at the local geoportal, and the
// demo county's utility service added to the registry. One per test process:
// the registry is read once.
class DemoServices {
public:
    // Starts on first use; also points the diagnostics and settings folders
    // into a private temporary folder.
    static DemoServices& instance();

    geoportal::GeoportalServer& server() { return server_; }
    std::string baseUrl() const { return server_.baseUrl(); }
    const std::filesystem::path& root() const { return root_; }
    // A fresh, empty download cache (cached answers would hide faults).
    void freshCache();
    // Spoils the answers to requests whose text holds `contains` under
    // `pathPrefix`; times: how many answers, below 0 every one.
    void addFault(geoportal::FaultKind kind, std::string contains, int delayMs = 3000, std::string pathPrefix = {},
                  int times = -1, int status = 500);

private:
    DemoServices();
    std::filesystem::path root_;
    geoportal::GeoportalServer server_;
    int caches_ = 0;
};

class ImportSession {
public:
    ImportSession();
    ~ImportSession();

    host::Workbench& workbench() { return *wb_; }
    import::ImportController& controller() { return *controller_; }

    // Dispatches a page message; returns the bridge's answer (null if none).
    nlohmann::json ask(const nlohmann::json& message);
    // Runs the main thread until a message of that type was pushed; null on time-out.
    nlohmann::json waitFor(const std::string& type, std::chrono::milliseconds timeout = std::chrono::seconds(60));
    // Runs the main thread until no worker is left.
    bool settle(std::chrono::milliseconds timeout = std::chrono::seconds(60));
    std::vector<nlohmann::json> received(const std::string& type) const;
    void clearReceived() { messages_.clear(); }

    // The page link reports the palette as gone from now on.
    void closePalette() { *alive_ = false; }
    static nlohmann::json demoFetch(std::vector<std::string> layers);
    // A fetch of the demo frame: the fetchDone pushed; null if refused or on time-out.
    nlohmann::json fetch(std::vector<std::string> layers, std::chrono::milliseconds timeout = std::chrono::seconds(60));
    // The origin at the demo frame's centre, its terrain height read; false if refused.
    bool setOriginAtDemoCentre();

private:
    std::unique_ptr<host::Workbench> wb_;
    std::unique_ptr<import::ImportController> controller_;
    Bridge bridge_;
    std::vector<nlohmann::json> messages_;
    std::size_t replies_ = 0;  // messages that came back through the bridge
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace kl::testing
