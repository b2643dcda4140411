#pragma once
// Demo mode: the local geoportal on loopback stands in for every national and
// county service, so an import of the demo site never leaves the machine.
#include <filesystem>
#include <memory>
#include <string>

namespace kl::geoportal {
class GeoportalServer;
}

namespace kl::tools {

// Sends every service request of this process (and of the pages it serves)
// to base through the environment the add-on reads (KL_SERVICE_BASE,
// KL_SERVICE_HOSTS, KL_REGISTRY_DIR), and adds the demo county's utility and
// base-map services to the registry through an overlay folder. Call before the
// first registry lookup.
// Returns a Polish error text, empty on success.
std::string pointServicesAt(const std::string& base, const std::filesystem::path& registryDir);

// The local geoportal started for a demo session and the services pointed at it.
class DemoGeoportal {
public:
    DemoGeoportal();
    ~DemoGeoportal();
    // workDir receives the registry overlay. Returns an error text, empty on success.
    std::string start(const std::filesystem::path& workDir);
    std::string baseUrl() const;

private:
    std::unique_ptr<geoportal::GeoportalServer> server_;
};

// WGS84 frame of the demo site: west, south, east, north.
struct DemoFrame {
    double west, south, east, north;
};
DemoFrame demoFrame();

}  // namespace kl::tools
