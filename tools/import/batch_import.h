#pragma once
// The import without a browser: the page's "setOrigin", "fetch" and "place"
// sent to the controller on an in-memory workbench project, which is then
// written as JSON and as DXF.
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace kl::tools {

struct BatchOptions {
    double west = 0, south = 0, east = 0, north = 0;
    std::vector<std::string> layers;
    std::filesystem::path jsonOut;
    std::filesystem::path dxfOut;  // empty: beside jsonOut with the extension .dxf
    int timeoutSeconds = 600;
};

struct BatchResult {
    bool ok = false;
    std::string message;                  // Polish; the failure, or the page's warning
    std::map<std::string, int> placed;    // count key -> placed features
    std::map<std::string, int> elements;  // "<layer> <kind>" -> project elements
    std::size_t dxfEntities = 0;
};

// Needs the service hosts set up beforehand (demo mode or real services).
BatchResult runBatchImport(const BatchOptions& options);

}  // namespace kl::tools
