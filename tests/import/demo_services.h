#pragma once
// The local geoportal with the demo site, with every service host of the
// add-on pointed at it and the demo county's utility service added to the
// registry. One per test process: the registry is read once.
#include <filesystem>
#include <string>

#include "tools/geoportal/geoportal_server.h"

namespace kl::testing {

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
                  int times = -1);

private:
    DemoServices();
    std::filesystem::path root_;
    geoportal::GeoportalServer server_;
    int caches_ = 0;
};

}  // namespace kl::testing
