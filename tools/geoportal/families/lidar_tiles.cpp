#include "tools/geoportal/lidar_sheets.h"
#include "tools/geoportal/lidar_tile_generator.h"
#include "tools/geoportal/service_family.h"

#include <fstream>
#include <iterator>

namespace kl::geoportal {

namespace {

Reply serveTile(const ServiceRequest& req) {
    const auto address = parseLidarTilePath(req.path);
    if (!address) return notFoundReply();
    const auto sheet = findLidarSheet(address->params.sheetMetres, address->featureId);
    if (!sheet || lidarTilePath(address->params, *sheet) != req.path) return notFoundReply();
    const LidarTileFile file = lidarTileFile(address->params, *sheet, req.config.lidarCacheDir);
    if (file.ok) {
        std::ifstream in(file.path, std::ios::binary);
        std::string body((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (in.good() || in.eof()) return {200, "application/octet-stream", std::move(body)};
    }
    const std::string why = file.ok ? "Nie mozna odczytac kafla." : file.message;
    return {500, "text/plain; charset=UTF-8", why + "\n"};
}

}  // namespace

// Downloads of the LAZ tiles the LiDAR index points at.
ServiceFamily lidarTilesFamily() {
    ServiceFamily f;
    f.name = "lidar-laz";
    f.title = "Dane pomiarowe LAZ";
    f.pathPatterns = {"^" + std::string(demo::kLidarTilePathPrefix) + R"(v[0-9]+/[^/]+/[^/]+\.laz$)"};
    f.handler = serveTile;
    return f;
}

}  // namespace kl::geoportal
