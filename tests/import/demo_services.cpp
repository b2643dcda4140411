#include "tests/import/demo_services.h"

#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

#include "tools/import/demo_environment.h"

namespace kl::testing {

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
                            int times) {
    geoportal::FaultRule rule;
    rule.fault.kind = kind;
    rule.fault.delayMs = delayMs;
    rule.contains = std::move(contains);
    rule.pathPrefix = std::move(pathPrefix);
    rule.remaining = times;
    server_.faults().add(rule);
}

}  // namespace kl::testing
