#include "cloud/pipeline/cloud_download.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "cloud/pipeline/cloud_accumulator.h"
#include "cloud/pipeline/cloud_output.h"
#include "cloud/pipeline/tile_fetch.h"
#include "net/sheet_index_text.h"
#include "net/url_text.h"
#include "base/temporary_names.h"

namespace kl::cloud {
namespace {

CloudDownloadResult failure(std::string message, std::vector<std::string> warnings = {}) {
    CloudDownloadResult r;
    r.message = std::move(message);
    r.warnings = std::move(warnings);
    return r;
}

// A tile's first download, and its decoding once downloaded.
struct StartedTile {
    TileDownload download;
    std::optional<TileDecoding> decoding;
};

constexpr const char* kCancelled = "Anulowano.";
constexpr const char* kOverBudget = "Za duzo punktow - zmniejsz kadr lub obniz jakosc.";

bool samePath(const std::string& a, const std::string& b) {
    std::error_code ec;
    const auto full = [&](const std::string& p) { return std::filesystem::absolute(p, ec).lexically_normal(); };
    return full(a) == full(b);
}

void createParent(const std::string& file) {
    std::error_code ec;
    if (const auto parent = std::filesystem::path(file).parent_path(); !parent.empty())
        std::filesystem::create_directories(parent, ec);
}

}  // namespace

std::string tileProgressLabel(size_t index, size_t count, int64_t received, int64_t total) {
    std::string label = "Kafel " + std::to_string(index + 1) + "/" + std::to_string(count) + ": " + net::formatSize(received);
    if (total > 0) label += " / " + net::formatSize(total);
    return label;
}

bool isPartial(const CloudDownloadResult& result) {
    return result.indexIncomplete || result.tilesProcessed < result.tilesTotal;
}

std::string partialCloudNote(const CloudDownloadResult& result) {
    if (!isPartial(result)) return {};
    std::string note = "Uwaga: chmura niepelna - uzyto " + std::to_string(result.tilesProcessed) + " z " +
                       std::to_string(result.tilesTotal) + " kafli LiDAR";
    if (result.indexIncomplete) note += ", a skorowidz mogl nie podac wszystkich";
    return note + ".";
}

CloudDownloadResult runCloudDownload(const CloudDownloadRequest& req, LidarResolver& resolver,
                                     const CloudProgressSink& reportProgress, const CancelCheck& cancelled) {
    // The next tile downloads while the one before it is still being read,
    // and a tile fetched again starts from its beginning: the bar holds the
    // furthest point reached instead of jumping back.
    double reached = 0;
    const auto progress = [&reportProgress, &reached](CloudProgress p) {
        reached = std::max(reached, p.pct);
        p.pct = reached;
        reportProgress(p);
    };
    const bool wantLaz = !req.lazOutputFile.empty();
    // One would overwrite the other: refuse before anything is downloaded.
    if (wantLaz && samePath(req.lazOutputFile, req.outputFile))
        return failure("Blad zapisu LAZ: plik LAZ musi byc inny niz plik E57.");
    // Temporaries of an earlier run that was killed while writing.
    platform::sweepStaleTemporaries(req.outputFile);
    if (wantLaz) platform::sweepStaleTemporaries(req.lazOutputFile);

    const auto query = resolver.query(req.frame, req.currentYear ? req.currentYear : net::currentUtcYear(), cancelled);
    std::vector<std::string> warnings;
    if (!query.warning.empty()) warnings.push_back(query.warning);
    if (!query.newerYearFailed.empty()) warnings.push_back(query.newerYearFailed);
    if (cancelled()) return failure(kCancelled, warnings);
    if (query.tiles.empty())
        return failure(query.failure.empty() ? "Brak danych LiDAR dla tego obszaru." : query.failure, warnings);

    CloudAccumulator acc(req.frame, cloudui::voxelEdge(req.detail), req.placeEpsg, req.budget);
    if (req.originSet) acc.setOrigin(req.originE, req.originN, req.originZ);

    const size_t n = query.tiles.size();
    std::vector<net::DownloadProgress> tileProgress;
    for (size_t i = 0; i < n; ++i) {
        tileProgress.push_back([&progress, &cancelled, i, n, lastPct = -1.0](int64_t received, int64_t total) mutable {
            const double part = total > 0 ? static_cast<double>(received) / static_cast<double>(total) : 0.0;
            const double pct = (static_cast<double>(i) + part) * 100.0 / static_cast<double>(n);
            // One event per half percent is plenty for a progress bar.
            if (pct - lastPct >= 0.5 || received == total) {
                lastPct = pct;
                progress({tileProgressLabel(i, n, received, total), pct, true});
            }
            return !cancelled();
        });
    }
    // The next tile is downloaded and starts decoding while the one before it
    // drains, so the decoding threads go on from tile to tile instead of
    // waiting for the merge, the colours and the next file's opening.
    std::unique_ptr<StartedTile> ahead;
    const auto start = [&](size_t i) {
        auto started = std::make_unique<StartedTile>();
        started->download = downloadTile(resolver, query.tiles[i], tileProgress[i], cancelled);
        if (started->download.kind == TileDownload::Ready)
            started->decoding.emplace(started->download.path, query.tiles[i].epsg, acc, req.decodeThreads);
        return started;
    };
    int processed = 0;
    // Started by the first tile that keeps points: a download that keeps none
    // leaves no trace on the disk.
    std::optional<BackgroundE57> e57;
    for (size_t i = 0; i < n; ++i) {
        const auto& tile = query.tiles[i];
        const auto startNext = [&] {
            if (i + 1 < n && !ahead) ahead = start(i + 1);
        };
        const std::unique_ptr<StartedTile> current = ahead ? std::move(ahead) : start(i);
        const size_t pointsBefore = acc.points().size();
        const TileFetch got = readDownloaded(
            resolver, tile, tileProgress[i], cancelled, current->download,
            [&] { return current->decoding->read(startNext); },
            [&](const std::string& path) { return TileDecoding(path, tile.epsg, acc, req.decodeThreads).read(startNext); });
        if (got.kind == TileFetch::Cancelled) return failure(kCancelled, warnings);
        // Without room for the tiles every later one would fail too, and
        // a cloud of the few that fitted must not replace the last one.
        if (got.kind == TileFetch::DiskFull) return failure(got.message, warnings);
        if (got.kind == TileFetch::OverBudget) return failure(kOverBudget, warnings);
        if (got.kind == TileFetch::Skipped) {
            warnings.push_back("Kafel " + tile.godlo + " pominiety: " + got.message);
            continue;
        }
        ++processed;
        if (const auto& kept = acc.points(); kept.size() > pointsBefore) {
            if (!e57) {
                createParent(req.outputFile);
                e57.emplace(platform::temporarySibling(req.outputFile));
            }
            e57->add(kept.data() + pointsBefore, kept.size() - pointsBefore);
        }
        progress({"Przetwarzanie kafli LiDAR", static_cast<double>(i + 1) * 100.0 / static_cast<double>(n), false});
    }
    // A cancel while the last tile was read is still a cancel: no cloud is
    // written and none is announced.
    if (cancelled()) return failure(kCancelled, warnings);
    if (processed == 0) return failure("Nie udalo sie pobrac zadnego kafla LiDAR dla tego obszaru.", warnings);
    const auto& pts = acc.points();
    if (pts.empty()) return failure("Brak punktow w wybranym obszarze (po przycieciu do kadru).", warnings);

    if (wantLaz) createParent(req.lazOutputFile);
    const LazPlacement where{acc.originE(), acc.originN(), acc.originZ(), req.placeEpsg};
    if (std::string error = writeCloudFiles(*e57, req.outputFile, req.lazOutputFile, pts, where); !error.empty())
        return failure(std::move(error), warnings);

    CloudDownloadResult r;
    r.ok = true;
    r.filePath = req.outputFile;
    if (wantLaz) r.lazPath = req.lazOutputFile;
    r.originE = acc.originE();
    r.originN = acc.originN();
    r.originZ = acc.originZ();
    r.placeEpsg = req.placeEpsg;
    r.count = static_cast<int64_t>(pts.size());
    r.tilesProcessed = processed;
    r.tilesTotal = static_cast<int>(n);
    r.indexIncomplete = !query.warning.empty();
    r.warnings = std::move(warnings);
    const PointBounds& box = acc.bounds();
    r.minX = box.minX;
    r.maxX = box.maxX;
    r.minY = box.minY;
    r.maxY = box.maxY;
    r.minZ = box.minZ;
    r.maxZ = box.maxZ;
    return r;
}

}  // namespace kl::cloud
