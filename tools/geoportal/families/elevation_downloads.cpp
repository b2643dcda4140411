#include "tools/geoportal/elevation_sheets.h"
#include "tools/geoportal/service_family.h"

#include <map>
#include <mutex>

namespace kl::geoportal {

namespace {

// Made once per sheet and model: a sheet of a third of a million cells.
const std::string& sheetFile(const ElevationSheetAddress& address) {
    static std::mutex guard;
    static std::map<std::string, std::string> made;
    const std::string key = elevationSheetPath(address.model, address.sheet);
    std::lock_guard lock(guard);
    auto it = made.find(key);
    if (it == made.end()) it = made.emplace(key, elevationSheetText(address.model, address.sheet)).first;
    return it->second;
}

Reply serveSheet(const ServiceRequest& req) {
    const auto address = parseElevationSheetPath(req.path);
    if (!address) return notFoundReply();
    return {200, "application/octet-stream", sheetFile(*address)};
}

}  // namespace

// Downloads of the ESRI ASCII sheets the elevation indexes point at.
ServiceFamily elevationSheetsFamily() {
    ServiceFamily f;
    f.name = "nmt-asc";
    f.title = "Arkusze NMT i NMPT (ASCII GRID)";
    f.pathPatterns = {"^" + std::string(demo::kElevationSheetPathPrefix) + R"((NMT|NMPT)/asc/[^/]+\.asc$)"};
    f.handler = serveSheet;
    return f;
}

}  // namespace kl::geoportal
