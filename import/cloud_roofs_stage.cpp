#include "import/cloud_roofs_stage.h"

#include "buildings/roof_from_cloud.h"
#include "import/frame_cloud.h"
#include "net/sheet_index_text.h"
#include "import/parallel_footprints.h"
#include "import/rebuilt_tally.h"

namespace kl::import {
namespace {

const std::string kPrefix = "Dachy z chmury: ";

// The frame's cloud bucketed for the footprints; the downloaded copy is
// dropped as soon as the buckets hold it.
buildings::CloudPointGrid bucketed(FrameCloud cloud) {
    std::vector<buildings::CloudPoint> points;
    points.reserve(cloud.points.size());
    for (const FrameCloudPoint& p : cloud.points) points.push_back({p.x, p.y, p.z, p.cls});
    cloud.points = {};
    return buildings::CloudPointGrid(std::move(points));
}

}  // namespace

RebuiltLayer cloudRoofs(net::WfsClient& client, const std::vector<buildings::Lod1Building>& footprints,
                        const geo::Bbox& frame, int workingZone, const StageIo& io) {
    RebuiltLayer out;
    if (footprints.empty()) {
        io.warn(kPrefix + "brak obrysow budynkow (Building3D) dla tego kadru.");
        return out;
    }
    FrameCloud cloud = loadFrameCloud(client, frame, 0.0, workingZone, net::currentUtcYear(), "Dachy z chmury: pobieranie kafli LiDAR", kPrefix,
                                      io, [](std::uint8_t cls) { return !buildings::isNoiseClass(cls); });
    if (cloud.cancelled) return out;
    if (cloud.points.empty()) {
        io.warn(kPrefix + "chmura pusta w kadrze.");
        return out;
    }
    const int tilesRead = cloud.tilesRead, tilesAsked = cloud.tilesAsked;

    io.progress("Dachy z chmury: model terenu", 0, 1);
    const buildings::CloudPointGrid grid = bucketed(std::move(cloud));
    const buildings::GroundModel ground = buildings::buildGroundModel(grid.points(), buildings::kRoofGroundCell);
    io.progress("Dachy z chmury: model terenu", 1, 1);
    if (io.cancelled()) return out;
    if (ground.lowest.empty()) {
        io.warn(kPrefix + "chmura bez punktow gruntu (klasa 2) - wysokosci dachow nie da sie ustalic.");
        return out;
    }

    const std::string label = "Dachy z chmury: dopasowanie dachow";
    std::vector<buildings::ReconstructionResult> roofs = mapInParallel<buildings::ReconstructionResult>(
        footprints.size(),
        [&](std::size_t i) { return buildings::roofFromCloud(footprints[i].footprint, grid, ground, {}); },
        {[&](int done, int total) { io.progress(label, done, total); }, io.cancelled});
    if (io.cancelled()) return out;

    const RebuiltTally tally = tallyRebuilt(roofs);
    io.warn(rebuiltSummary(kPrefix, "dachow", tally, "bez gruntu w poblizu lub ze zdegenerowanym obrysem"));
    out.diagnostic = "punkty=" + std::to_string(grid.points().size()) + " komorki_gruntu=" +
                     std::to_string(ground.lowest.size()) + " kafle=" + std::to_string(tilesRead) + "/" +
                     std::to_string(tilesAsked) + " dachy=" + std::to_string(tally.made) + " do_korekty=" +
                     std::to_string(tally.flagged) + " pominiete=" + std::to_string(tally.missing);
    out.items = std::move(roofs);
    return out;
}

}  // namespace kl::import
