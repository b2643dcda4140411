#include "import/frame_cloud.h"

#include "cloud/las/las_reader.h"
#include "cloud/lidar/lidar_resolver.h"
#include "geodata/polish_crs.h"
#include "net/sheet_index_text.h"

namespace kl::import {
namespace {

// Decodes one tile into the cloud; the reason when it could not be read.
std::string readTile(const std::string& path, int epsg, const geo::Bbox& frame,
                     const std::function<bool(std::uint8_t)>& keep, std::vector<FrameCloudPoint>& out) {
    las::LasReader reader;
    if (const las::LasStatus st = reader.open(path); !st) return st.message;
    const las::LasHeader& h = reader.header();
    const uint8_t format = h.pointFormat;
    std::vector<FrameCloudPoint> got;
    const uint8_t* records = nullptr;
    uint64_t count = 0;
    while (true) {
        if (const las::LasStatus st = reader.next(&records, &count); !st) return st.message;
        if (count == 0) break;
        for (uint64_t i = 0; i < count; ++i) {
            const las::LasPointView v = las::viewPoint(records + i * h.recordLength, format);
            if (!keep(v.classification)) continue;
            geo::Point2d p{v.x * h.scale[0] + h.offset[0], v.y * h.scale[1] + h.offset[1]};
            if (geo::isPl2000Epsg(epsg)) p = geo::pl2000ToPl1992(p.x, p.y, epsg);
            if (p.x < frame.minX || p.x > frame.maxX || p.y < frame.minY || p.y > frame.maxY) continue;
            got.push_back({p.x, p.y, v.z * h.scale[2] + h.offset[2], v.classification});
        }
    }
    // Only a tile read to its end joins the cloud: half a tile would pass for
    // a sparse one.
    out.insert(out.end(), got.begin(), got.end());
    return {};
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
    if (!query.warning.empty()) io.warn(warningPrefix + query.warning);
    if (!query.newerYearFailed.empty()) io.warn(warningPrefix + query.newerYearFailed);
    if (!query.failure.empty()) io.warn(warningPrefix + query.failure);
    int foreignZone = 0;
    const int total = static_cast<int>(query.tiles.size());
    for (int i = 0; i < total; ++i) {
        const cloud::LidarTile& tile = query.tiles[static_cast<size_t>(i)];
        io.progress(progressLabel, i, total);
        if (geo::isPl2000Epsg(tile.epsg) && tile.epsg != workingZone) {
            ++foreignZone;
            continue;
        }
        ++out.tilesAsked;
        std::string problem;
        // A cached tile that no longer decodes is dropped and fetched once more.
        for (int attempt = 0; attempt < 2; ++attempt) {
            std::string error;
            const std::string path =
                resolver.download(tile, [&io](int64_t, int64_t) { return !io.cancelled(); }, error);
            if (io.cancelled()) {
                out.cancelled = true;
                return out;
            }
            if (path.empty()) {
                problem = error.empty() ? "nie pobrano" : error;
                break;
            }
            problem = readTile(path, tile.epsg, frame, keep, out.points);
            if (problem.empty()) break;
            resolver.evict(tile);
        }
        if (!problem.empty()) {
            io.warn(warningPrefix + "kafel LiDAR " + tile.godlo + " pominiety: " + problem + ".");
            continue;
        }
        ++out.tilesRead;
    }
    io.progress(progressLabel, total, total);
    if (foreignZone > 0)
        io.warn(warningPrefix + "kafle LiDAR w obcej strefie (PL-2000), pominieto " + std::to_string(foreignZone) + ".");
    return out;
}

}  // namespace kl::import
