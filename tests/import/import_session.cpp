#include "tests/import/import_session.h"

#include "host/core/workbench.h"
#include "base/main_thread.h"
#include "base/worker_registry.h"
#include "placement/fetch_placing.h"
#include "tests/support/host_binding.h"
#include "tools/import/demo_environment.h"

#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

namespace kl::testing {

using nlohmann::json;

DemoServices& DemoServices::instance() {
    static DemoServices services;
    return services;
}

DemoServices::DemoServices()
    : root_(std::filesystem::temp_directory_path() / ("kl-import-test-" + std::to_string(::getpid()))) {
    std::filesystem::create_directories(root_);
    ::setenv("KL_DIAG_DIR", (root_ / "diag").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
    freshCache();
    if (!server_.start().ok) throw std::runtime_error("the local geoportal did not start");
    const std::string error = tools::pointServicesAt(server_.baseUrl(), root_ / "registry");
    if (!error.empty()) throw std::runtime_error(error);
}

void DemoServices::freshCache() {
    const auto dir = root_ / ("cache" + std::to_string(++caches_));
    std::filesystem::create_directories(dir);
    ::setenv("XDG_CACHE_HOME", dir.c_str(), 1);
}

void DemoServices::addFault(geoportal::FaultKind kind, std::string contains, int delayMs, std::string pathPrefix,
                            int times, int status) {
    geoportal::FaultRule rule;
    rule.fault.kind = kind;
    rule.fault.delayMs = delayMs;
    rule.fault.status = status;
    rule.contains = std::move(contains);
    rule.pathPrefix = std::move(pathPrefix);
    rule.remaining = times;
    server_.faults().add(rule);
}

ImportSession::ImportSession() {
    DemoServices& services = DemoServices::instance();
    services.freshCache();
    services.server().faults().clear();
    wb_ = std::make_unique<host::Workbench>();
    bindAddonToHost(&host::Workbench::hostTable());
    controller_ = std::make_unique<import::ImportController>(
        services.root() / "config" / "KARTOLINK" / "settings.json", [] { return &host::Workbench::hostTable(); },
        settings::serviceHostsWithOverride(services.baseUrl()), placement::placeFetched);
    net::HttpTimings fast;
    fast.retryDelayMs = 10;
    fast.defaultReceiveTimeoutMs = 1500;
    controller_->setFetchTimings(fast, [](int) {});
    controller_->setPageLink({[this](const std::string& type, json m) {
                                  m["type"] = type;
                                  messages_.push_back(std::move(m));
                              },
                              [alive = alive_] { return *alive; },
                              [](std::function<void()> task) { return postToMain(std::move(task)); }});
    controller_->registerHandlers(bridge_);
    bridge_.setSender([this](const std::string& text) {
        messages_.push_back(json::parse(text));
        ++replies_;
    });
}

ImportSession::~ImportSession() {
    settle();
    controller_.reset();
    bindAddonToHost(nullptr);
    wb_.reset();
}

json ImportSession::ask(const json& message) {
    const std::size_t before = replies_;
    bridge_.onMessage(message.dump());
    return replies_ > before ? messages_.back() : json();
}

json ImportSession::waitFor(const std::string& type, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    std::size_t seen = 0;
    for (;;) {
        for (; seen < messages_.size(); ++seen)
            if (messages_[seen].value("type", "") == type) return messages_[seen];
        if (std::chrono::steady_clock::now() > end) return json();
        wb_->executor().runFor(std::chrono::milliseconds(20));
    }
}

bool ImportSession::settle(std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (WorkerRegistry::instance().running() > 0 || wb_->executor().runPending() > 0) {
        if (std::chrono::steady_clock::now() > end) return false;
        wb_->executor().runFor(std::chrono::milliseconds(20));
    }
    return true;
}

std::vector<json> ImportSession::received(const std::string& type) const {
    std::vector<json> out;
    for (const json& m : messages_)
        if (m.value("type", "") == type) out.push_back(m);
    return out;
}

json ImportSession::demoFetch(std::vector<std::string> layers) {
    const tools::DemoFrame f = tools::demoFrame();
    return {{"type", "fetch"}, {"bboxWgs84", {f.west, f.south, f.east, f.north}}, {"layers", std::move(layers)}};
}

json ImportSession::fetch(std::vector<std::string> layers, std::chrono::milliseconds timeout) {
    return ask(demoFetch(std::move(layers))).is_null() ? waitFor("fetchDone", timeout) : json();
}

bool ImportSession::setOriginAtDemoCentre() {
    const tools::DemoFrame f = tools::demoFrame();
    const json r = ask({{"type", "setOrigin"}, {"lat", (f.south + f.north) / 2}, {"lon", (f.west + f.east) / 2}});
    return r.value("type", "") == "originSet" && settle();
}

}  // namespace kl::testing
