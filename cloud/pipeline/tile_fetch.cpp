#include "cloud/pipeline/tile_fetch.h"

namespace kl::cloud {

TileDownload downloadTile(LidarResolver& resolver, const LidarTile& tile, const net::DownloadProgress& progress,
                          const CancelCheck& cancelled) {
    if (cancelled()) return {TileDownload::Cancelled, {}, {}};
    std::string error;
    net::CacheFailure why = net::CacheFailure::None;
    std::string path = resolver.download(tile, progress, error, &why);
    if (cancelled()) return {TileDownload::Cancelled, {}, {}};
    if (path.empty() && why == net::CacheFailure::Disk) return {TileDownload::DiskFull, {}, error};
    if (path.empty()) return {TileDownload::Failed, {}, error.empty() ? "nie pobrano" : error};
    return {TileDownload::Ready, std::move(path), {}};
}

TileFetch downloadAndRead(LidarResolver& resolver, const LidarTile& tile, const net::DownloadProgress& progress,
                          const CancelCheck& cancelled, const TileReader& read) {
    const TileDownload first = downloadTile(resolver, tile, progress, cancelled);
    return readDownloaded(resolver, tile, progress, cancelled, first, [&] { return read(first.path); }, read);
}

TileFetch readDownloaded(LidarResolver& resolver, const LidarTile& tile, const net::DownloadProgress& progress,
                         const CancelCheck& cancelled, const TileDownload& first,
                         const std::function<TileOutcome()>& readFirst, const TileReader& read) {
    std::string skipped;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (cancelled()) return {TileFetch::Cancelled, {}};
        const TileDownload got = attempt == 0 ? first : downloadTile(resolver, tile, progress, cancelled);
        if (got.kind == TileDownload::Cancelled) return {TileFetch::Cancelled, {}};
        if (got.kind == TileDownload::DiskFull) return {TileFetch::DiskFull, got.message};
        if (got.kind == TileDownload::Failed) return {TileFetch::Skipped, got.message};
        const TileOutcome outcome = attempt == 0 ? readFirst() : read(got.path);
        if (outcome.kind == TileOutcome::OverBudget) return {TileFetch::OverBudget, {}};
        if (outcome.kind == TileOutcome::Processed) return {TileFetch::Read, {}};
        skipped = outcome.message;
        resolver.evict(tile);
    }
    return {TileFetch::Skipped, skipped};
}

}  // namespace kl::cloud
