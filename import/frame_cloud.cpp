#include "import/frame_cloud.h"

#include "cloud/las/las_reader.h"
#include "cloud/pipeline/tile_fetch.h"
#include "cloud/pipeline/tile_to_pl1992.h"
#include "geodata/polish_crs.h"

namespace kl::import {
namespace {

constexpr unsigned kDecodeThreads = 2;

}  // namespace

cloud::TileOutcome appendTilePoints(const std::string& path, int tileEpsg, const geo::Bbox& box,
                            const std::function<bool(std::uint8_t)>& keep, std::vector<FrameCloudPoint>& points) {
    las::LasReader reader;
    if (const las::LasStatus st = reader.open(path, kDecodeThreads); !st)
        return {cloud::TileOutcome::Unusable, st.message, 0};
    const las::LasHeader& h = reader.header();
    if (h.recordLength < 20 || h.pointCount == 0) return {cloud::TileOutcome::Unusable, "kafel bez punktow", 0};
    const cloud::TileToPl1992 toPl1992(box, tileEpsg);
    const std::size_t before = points.size();
    cloud::TileOutcome out;
    while (true) {
        const std::uint8_t* records = nullptr;
        std::uint64_t count = 0;
        if (const las::LasStatus st = reader.next(&records, &count); !st) {
            points.resize(before);
            return {cloud::TileOutcome::Unusable, st.message, out.points};
        }
        if (count == 0) return out;
        out.points += count;
        for (std::uint64_t n = 0; n < count; ++n) {
            const las::LasPointView v = las::viewPoint(records + n * h.recordLength, h.pointFormat);
            if (!keep(v.classification)) continue;
            double x = v.x * h.scale[0] + h.offset[0];
            double y = v.y * h.scale[1] + h.offset[1];
            if (!toPl1992.apply(x, y)) continue;
            if (!(x >= box.minX && x <= box.maxX && y >= box.minY && y <= box.maxY)) continue;
            if (points.size() == kMaxFrameCloudPoints) {
                points.resize(before);
                return {cloud::TileOutcome::OverBudget, {}, out.points};
            }
            points.push_back({x, y, v.z * h.scale[2] + h.offset[2], v.classification});
        }
    }
}

FrameCloud loadFrameCloud(net::WfsClient& client, const geo::Bbox& frame, double margin, int workingZone,
                          int currentYear, const std::string& progressLabel, const std::string& warningPrefix,
                          const StageIo& io, const std::function<bool(std::uint8_t cls)>& keep) {
    FrameCloud out;
    const auto stop = [&out] {
        out.cancelled = true;
        out.points.clear();
        return std::move(out);
    };
    io.progress(progressLabel, 0, 1);
    // The sheets are asked for the frame with its margin: a frame edge on (or
    // within the margin of) a sheet boundary needs the neighbouring sheet's
    // points, or the nodes on that edge see only their inner half.
    const geo::Bbox reach{frame.minX - margin, frame.minY - margin, frame.maxX + margin, frame.maxY + margin};
    cloud::LidarResolver resolver(client);
    const cloud::LidarQuery query = resolver.query(reach, currentYear, io.cancelled);
    if (io.cancelled()) return stop();
    for (const std::string& w : {query.warning, query.newerYearFailed})
        if (!w.empty()) io.warn(warningPrefix + w);
    if (query.tiles.empty()) {
        io.warn(warningPrefix + (query.failure.empty() ? "Brak danych LiDAR dla tego obszaru." : query.failure));
        return out;
    }
    out.tilesAsked = static_cast<int>(query.tiles.size());
    std::string foreign;
    int foreignCount = 0;
    for (int i = 0; i < out.tilesAsked; ++i) {
        const cloud::LidarTile& tile = query.tiles[static_cast<std::size_t>(i)];
        io.progress(progressLabel, i, out.tilesAsked);
        if (geo::isPl2000Epsg(workingZone) && geo::isPl2000Epsg(tile.epsg) && tile.epsg != workingZone) {
            foreign += (foreign.empty() ? "" : ", ") + tile.godlo;
            ++foreignCount;
            continue;
        }
        const cloud::TileFetch got = cloud::downloadAndRead(
            resolver, tile, [&](std::int64_t, std::int64_t) { return !io.cancelled(); }, io.cancelled,
            [&](const std::string& path) { return appendTilePoints(path, tile.epsg, reach, keep, out.points); });
        switch (got.kind) {
            case cloud::TileFetch::Cancelled:
                return stop();
            case cloud::TileFetch::DiskFull:
                io.warn(warningPrefix + got.message + " - chmury nie wczytano.");
                out.points.clear();
                return out;
            case cloud::TileFetch::OverBudget:
                io.warn(warningPrefix + "za duzo punktow LiDAR w kadrze - zmniejsz kadr.");
                out.points.clear();
                return out;
            case cloud::TileFetch::Skipped:
                io.warn(warningPrefix + "kafel LiDAR " + tile.godlo + " pominiety: " +
                        (got.message.empty() || got.message.back() != '.' ? got.message + "." : got.message));
                break;
            case cloud::TileFetch::Read:
                ++out.tilesRead;
                break;
        }
    }
    io.progress(progressLabel, out.tilesAsked, out.tilesAsked);
    if (foreignCount > 0)
        io.warn(warningPrefix + "kafle LiDAR w obcej strefie (PL-2000), pominieto " + std::to_string(foreignCount) +
                ": " + foreign + ".");
    if (out.tilesRead > 0 && out.tilesRead < out.tilesAsked)
        io.warn(warningPrefix + "chmura niepelna - uzyto " + std::to_string(out.tilesRead) + " z " +
                std::to_string(out.tilesAsked) + " kafli LiDAR, brakujace fragmenty kadru pominieto.");
    return out;
}

}  // namespace kl::import
