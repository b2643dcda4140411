#include "cloud/pipeline/cloud_download.h"

#include <algorithm>
#include <filesystem>

#include "cloud/e57/e57_writer.h"
#include "cloud/pipeline/cloud_accumulator.h"
#include "cloud/pipeline/cloud_laz_export.h"
#include "cloud/pipeline/tile_processing.h"
#include "net/url_text.h"

namespace kl::cloud {
namespace {

CloudDownloadResult failure(std::string message, std::vector<std::string> warnings = {}) {
    CloudDownloadResult r;
    r.message = std::move(message);
    r.warnings = std::move(warnings);
    return r;
}

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

CloudDownloadResult runCloudDownload(const CloudDownloadRequest& req, LidarResolver& resolver,
                                     const CloudProgressSink& progress, const CancelCheck& cancelled) {
    const bool wantLaz = !req.lazOutputFile.empty();
    // One would overwrite the other: refuse before anything is downloaded.
    if (wantLaz && samePath(req.lazOutputFile, req.outputFile))
        return failure("Blad zapisu LAZ: plik LAZ musi byc inny niz plik E57.");
    const auto query = resolver.query(req.frame, req.currentYear ? req.currentYear : currentUtcYear(), cancelled);
    std::vector<std::string> warnings;
    if (!query.warning.empty()) warnings.push_back(query.warning);
    if (cancelled()) return failure(kCancelled, warnings);
    if (query.tiles.empty()) return failure("Brak danych LiDAR dla tego obszaru.", warnings);

    CloudAccumulator acc(req.frame, cloudui::voxelEdge(req.detail), req.placeEpsg, req.budget);
    if (req.originSet) acc.setOrigin(req.originE, req.originN, req.originZ);

    const size_t n = query.tiles.size();
    int processed = 0;
    for (size_t i = 0; i < n; ++i) {
        if (cancelled()) return failure(kCancelled, warnings);
        const auto& tile = query.tiles[i];
        std::string error;
        double lastPct = -1;
        const std::string path = resolver.download(
            tile,
            [&](int64_t received, int64_t total) {
                const double part = total > 0 ? static_cast<double>(received) / static_cast<double>(total) : 0.0;
                const double pct = (static_cast<double>(i) + part) * 100.0 / static_cast<double>(n);
                // One event per half percent is plenty for a progress bar.
                if (pct - lastPct >= 0.5 || received == total) {
                    lastPct = pct;
                    progress({tileProgressLabel(i, n, received, total), pct, true});
                }
                return !cancelled();
            },
            error);
        if (cancelled()) return failure(kCancelled, warnings);
        if (path.empty()) {
            warnings.push_back("Kafel " + tile.godlo + " pominiety: " + (error.empty() ? "nie pobrano" : error));
            continue;
        }
        const auto outcome = processTile(path, tile.epsg, acc, req.decodeThreads);
        if (outcome.kind == TileOutcome::OverBudget) return failure(kOverBudget, warnings);
        if (outcome.kind == TileOutcome::Unusable) {
            warnings.push_back("Kafel " + tile.godlo + " pominiety: " + outcome.message);
            continue;
        }
        ++processed;
        progress({"Przetwarzanie kafli LiDAR", static_cast<double>(i + 1) * 100.0 / static_cast<double>(n), false});
    }
    if (processed == 0) return failure("Nie udalo sie pobrac zadnego kafla LiDAR dla tego obszaru.", warnings);
    const auto& pts = acc.points();
    if (pts.empty()) return failure("Brak punktow w wybranym obszarze (po przycieciu do kadru).", warnings);

    const std::string& file = req.outputFile;
    createParent(file);
    std::string writeError;
    if (!e57::writeE57(file, pts, writeError)) return failure("Blad zapisu E57: " + writeError, warnings);
    if (wantLaz) {
        createParent(req.lazOutputFile);
        const LazPlacement where{acc.originE(), acc.originN(), acc.originZ(), req.placeEpsg};
        if (const las::LasStatus st = writeCloudLaz(req.lazOutputFile, pts, where); !st)
            return failure("Blad zapisu LAZ: " + st.message, warnings);
    }

    CloudDownloadResult r;
    r.ok = true;
    r.filePath = file;
    if (wantLaz) r.lazPath = req.lazOutputFile;
    r.originE = acc.originE();
    r.originN = acc.originN();
    r.originZ = acc.originZ();
    r.placeEpsg = req.placeEpsg;
    r.count = static_cast<int64_t>(pts.size());
    r.tilesProcessed = processed;
    r.warnings = std::move(warnings);
    r.minX = r.maxX = pts[0].x;
    r.minY = r.maxY = pts[0].y;
    r.minZ = r.maxZ = pts[0].z;
    for (const auto& p : pts) {
        r.minX = std::min(r.minX, p.x);
        r.maxX = std::max(r.maxX, p.x);
        r.minY = std::min(r.minY, p.y);
        r.maxY = std::max(r.maxY, p.y);
        r.minZ = std::min(r.minZ, p.z);
        r.maxZ = std::max(r.maxZ, p.z);
    }
    return r;
}

}  // namespace kl::cloud
