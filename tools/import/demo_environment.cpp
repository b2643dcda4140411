#include "tools/import/demo_environment.h"

#include <cstdlib>

#include "tools/geoportal/demo_area.h"
#include "tools/geoportal/demo_registry.h"
#include "tools/geoportal/geoportal_server.h"

namespace kl::tools {

std::string pointServicesAt(const std::string& base, const std::filesystem::path& registryDir) {
    if (std::string error = geoportal::writeDemoRegistry(base, registryDir); !error.empty()) return error;
    ::setenv("KL_REGISTRY_DIR", registryDir.c_str(), 1);
    ::setenv("KL_SERVICE_BASE", base.c_str(), 1);
    ::setenv("KL_SERVICE_HOSTS", base.c_str(), 1);
    return {};
}

DemoGeoportal::DemoGeoportal() : server_(std::make_unique<geoportal::GeoportalServer>()) {}
DemoGeoportal::~DemoGeoportal() = default;

std::string DemoGeoportal::start(const std::filesystem::path& workDir) {
    const geoportal::StartResult started = server_->start();
    if (!started.ok) return started.message;
    return pointServicesAt(server_->baseUrl(), workDir / "registry");
}

std::string DemoGeoportal::baseUrl() const { return server_->baseUrl(); }

DemoFrame demoFrame() {
    using namespace geoportal::demo;
    return {kWest, kSouth, kEast, kNorth};
}

}  // namespace kl::tools
