#pragma once
#include <functional>
#include <string>
#include <vector>

#include "cloud/lidar/lidar_tile.h"
#include "geodata/geometry.h"
#include "net/http_types.h"
#include "net/wfs_client.h"

namespace kl::cloud {

struct LidarQuery {
    std::vector<LidarTile> tiles;  // all tiles of the newest year that has any
    std::string warning;           // e.g. a page of the index was refused
    // Set when no tile came and the index itself failed (an error status, a
    // cut answer, an exception report): "no data" would then be a guess.
    std::string failure;
    // A newer year whose index failed before an older year answered: the
    // tiles are whole for that older year, but newer data may exist.
    std::string newerYearFailed;
};

// Finds and downloads the national LiDAR tiles of a frame.
class LidarResolver {
public:
    explicit LidarResolver(net::WfsClient& client) : client_(client) {}

    // Newest year first, from next year down to 2018. Every page of the
    // year's index is read, so a large frame gets all its tiles.
    LidarQuery query(const geo::Bbox& frame, int currentYear, const std::function<bool()>& cancelled = {});

    // Local path of the tile in the download cache, empty on failure (the
    // reason in error). progress may stop the download. A tile that does
    // not hold what its own header declares never enters the cache, and a
    // failed download is tried once more; a full cache is not (failure says
    // which it was, when given).
    std::string download(const LidarTile& tile, const net::DownloadProgress& progress, std::string& error,
                         net::CacheFailure* failure = nullptr);

    // Drops the cached copy of a tile that turned out unreadable.
    void evict(const LidarTile& tile) { client_.evictCachedFile(tile.url); }

    static constexpr int kPageSize = 100;
    static constexpr int kMaxPages = 50;
    static constexpr int kDownloadTimeoutMs = 240000;

private:
    net::WfsClient& client_;
};

// Current calendar year (UTC).
int currentUtcYear();

}  // namespace kl::cloud
