#include "cloud/pipeline/tile_fetch.h"

namespace kl::cloud {

TileFetch downloadAndRead(LidarResolver& resolver, const LidarTile& tile, const net::DownloadProgress& progress,
                          const CancelCheck& cancelled, const TileReader& read) {
    std::string skipped;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (cancelled()) return {TileFetch::Cancelled, {}};
        std::string error;
        net::CacheFailure why = net::CacheFailure::None;
        const std::string path = resolver.download(tile, progress, error, &why);
        if (cancelled()) return {TileFetch::Cancelled, {}};
        if (path.empty() && why == net::CacheFailure::Disk) return {TileFetch::DiskFull, error};
        if (path.empty()) return {TileFetch::Skipped, error.empty() ? "nie pobrano" : error};
        const TileOutcome outcome = read(path);
        if (outcome.kind == TileOutcome::OverBudget) return {TileFetch::OverBudget, {}};
        if (outcome.kind == TileOutcome::Processed) return {TileFetch::Read, {}};
        skipped = outcome.message;
        resolver.evict(tile);
    }
    return {TileFetch::Skipped, skipped};
}

}  // namespace kl::cloud
