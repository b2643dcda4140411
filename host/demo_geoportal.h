#pragma once
// Demo mode of the workbench: the local geoportal runs as a child process and
// the add-on is pointed at it through the environment it reads
// (KL_SERVICE_HOSTS, KL_SERVICE_BASE, KL_REGISTRY_DIR), so the workbench
// shares no code with either of them.
#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>

namespace kl::host {

struct DemoSite {
    double west = 0, south = 0, east = 0, north = 0;  // WGS84
};

class DemoGeoportal {
public:
    DemoGeoportal() = default;
    ~DemoGeoportal();  // stops the child
    DemoGeoportal(const DemoGeoportal&) = delete;
    DemoGeoportal& operator=(const DemoGeoportal&) = delete;

    // Starts executable with its registry overlay in workDir and sets the
    // environment; call before the add-on is loaded. Returns an error text,
    // empty on success.
    std::string start(const std::filesystem::path& executable, const std::filesystem::path& workDir);
    const std::string& baseUrl() const { return baseUrl_; }
    const DemoSite& site() const { return site_; }

private:
    pid_t child_ = -1;
    std::string baseUrl_;
    DemoSite site_;
};

// Reads "W,S,E,N"; nothing when the text is not four numbers.
std::optional<DemoSite> parseDemoSite(const std::string& text);

}  // namespace kl::host
