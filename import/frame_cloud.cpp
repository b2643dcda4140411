#include "import/frame_cloud.h"

#include "cloud/las/las_reader.h"
#include "cloud/lidar/lidar_resolver.h"
#include "geodata/polish_crs.h"
#include "net/sheet_index_text.h"

namespace kl::import {
namespace {

// Points of one tile appended to the cloud; a tile that breaks half way is
// taken back out. Empty on success, else why the tile could not be read.
std::string readTile(const std::string& path, int tileEpsg, const geo::Bbox& frame, const StageIo& io,
                     const std::function<bool(std::uint8_t)>& keep, FrameCloud& out) {
    las::LasReader reader;
    if (las::LasStatus st = reader.open(path, 2); !st) return st.message;
    const las::LasHeader& h = reader.header();
    if (h.recordLength < 20) return "rekord punktu krotszy niz 20 bajtow";
    const bool zoneTile = geo::isPl2000Epsg(tileEpsg);
    const std::size_t first = out.points.size();
    while (true) {
        const std::uint8_t* records = nullptr;
        std::uint64_t count = 0;
        if (las::LasStatus st = reader.next(&records, &count); !st) {
            out.points.resize(first);
            return st.message;
        }
        if (count == 0) return {};
        if (io.cancelled()) {
            out.points.resize(first);
            out.cancelled = true;
            return {};
        }
        for (std::uint64_t i = 0; i < count; ++i) {
            const las::LasPointView p = las::viewPoint(records + i * h.recordLength, h.pointFormat);
            if (!keep(p.classification)) continue;
            geo::Point2d xy{p.x * h.scale[0] + h.offset[0], p.y * h.scale[1] + h.offset[1]};
            if (zoneTile) xy = geo::pl2000ToPl1992(xy.x, xy.y, tileEpsg);
            if (xy.x < frame.minX || xy.x > frame.maxX || xy.y < frame.minY || xy.y > frame.maxY) continue;
            out.points.push_back({xy.x, xy.y, p.z * h.scale[2] + h.offset[2], p.classification});
        }
    }
}

}  // namespace

FrameCloud loadFrameCloud(net::WfsClient& client, const geo::Bbox& frame, int workingZone,
                          const std::string& progressLabel, const std::string& warningPrefix, const StageIo& io,
                          const std::function<bool(std::uint8_t)>& keep) {
    FrameCloud out;
    cloud::LidarResolver resolver(client);
    io.progress(progressLabel, 0, 1);
    const cloud::LidarQuery query = resolver.query(frame, net::currentUtcYear(), io.cancelled);
    if (io.cancelled()) {
        out.cancelled = true;
        return out;
    }
    for (const std::string& w : {query.warning, query.newerYearFailed, query.failure})
        if (!w.empty()) io.warn(warningPrefix + w);
    out.tilesAsked = static_cast<int>(query.tiles.size());

    std::string foreign;
    int foreignCount = 0;
    bool diskFull = false;
    const int total = out.tilesAsked;
    for (int i = 0; i < total && !diskFull; ++i) {
        const cloud::LidarTile& tile = query.tiles[static_cast<std::size_t>(i)];
        io.progress(progressLabel, i, total);
        if (geo::isPl2000Epsg(workingZone) && geo::isPl2000Epsg(tile.epsg) && tile.epsg != workingZone) {
            foreign += (foreign.empty() ? "" : ", ") + tile.godlo;
            ++foreignCount;
            continue;
        }
        std::string skipped;
        // A cached tile that no longer decodes is dropped and fetched once more.
        for (int attempt = 0; attempt < 2; ++attempt) {
            std::string error;
            net::CacheFailure why = net::CacheFailure::None;
            const std::string path = resolver.download(
                tile, [&](std::int64_t, std::int64_t) { return !io.cancelled(); }, error, &why);
            if (io.cancelled()) {
                out.cancelled = true;
                return out;
            }
            if (path.empty()) {
                skipped = error.empty() ? "nie pobrano" : error;
                // Without room on disk every later tile would fail the same way.
                if (why == net::CacheFailure::Disk) diskFull = true;
                break;
            }
            skipped = readTile(path, tile.epsg, frame, io, keep, out);
            if (out.cancelled) return out;
            if (skipped.empty()) break;
            resolver.evict(tile);
        }
        if (skipped.empty())
            ++out.tilesRead;
        else {
            // The reasons come with or without a closing full stop.
            if (skipped.back() == '.') skipped.pop_back();
            io.warn(warningPrefix + "kafel " + tile.godlo + " pominiety: " + skipped + ".");
        }
    }
    io.progress(progressLabel, total, total);
    if (foreignCount > 0)
        io.warn(warningPrefix + "kafle LiDAR w obcej strefie (PL-2000), pominieto " + std::to_string(foreignCount) +
                ": " + foreign + ".");
    if (diskFull) io.warn(warningPrefix + "brak miejsca na dysku - pozostalych kafli LiDAR nie pobrano.");
    if (out.tilesRead > 0 && out.tilesRead < out.tilesAsked)
        io.warn(warningPrefix + "chmura niepelna - uzyto " + std::to_string(out.tilesRead) + " z " +
                std::to_string(out.tilesAsked) + " kafli LiDAR.");
    return out;
}

}  // namespace kl::import
