#pragma once
// One LiDAR tile downloaded and read, as every stage that reads the cloud
// needs it: a cached copy that no longer reads is dropped and fetched once
// more, and a full disk stops the whole run instead of every later tile.
#include <functional>
#include <string>

#include "cloud/lidar/lidar_resolver.h"
#include "cloud/pipeline/tile_processing.h"

namespace kl::cloud {

using CancelCheck = std::function<bool()>;
using TileReader = std::function<TileOutcome(const std::string& path)>;

struct TileFetch {
    enum Kind { Read, Skipped, Cancelled, DiskFull, OverBudget } kind = Read;
    std::string message;  // why the tile was skipped, or what the disk said
};

// One download of a tile: the path of its cached copy, or why there is none.
struct TileDownload {
    enum Kind { Ready, Failed, Cancelled, DiskFull } kind = Ready;
    std::string path;
    std::string message;
};
TileDownload downloadTile(LidarResolver& resolver, const LidarTile& tile, const net::DownloadProgress& progress,
                          const CancelCheck& cancelled);

TileFetch downloadAndRead(LidarResolver& resolver, const LidarTile& tile, const net::DownloadProgress& progress,
                          const CancelCheck& cancelled, const TileReader& read);

// downloadAndRead with the first download made earlier (first) and its
// reading begun: readFirst gives what reading first.path came to.
TileFetch readDownloaded(LidarResolver& resolver, const LidarTile& tile, const net::DownloadProgress& progress,
                         const CancelCheck& cancelled, const TileDownload& first,
                         const std::function<TileOutcome()>& readFirst, const TileReader& read);

}  // namespace kl::cloud
