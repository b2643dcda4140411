// The terrain height under a new project origin, sampled on a worker from the
// terrain model sheet that holds it. Only the
// latest "setOrigin" may write it, and only while the survey point is still
// the sampled one; a placement in between makes the sample stale too.
#include <cmath>
#include <memory>

#include "geodata/polish_crs.h"
#include "import/import_controller.h"
#include "net/sheet_index_text.h"
#include "shell/settings/project_georef.h"
#include "base/worker_registry.h"
#include "terrain/elevation_sheets.h"

namespace kl::import {

HeightSampler terrainModelHeight(net::HttpTimings timings, settings::ServiceHosts hosts,
                                 std::function<bool()> cancelled) {
    return [timings, hosts, cancelled](geo::Point2d point, int zoneEpsg) -> std::optional<double> {
        const geo::Point2d p = geo::pl2000ToPl1992(point.x, point.y, zoneEpsg);
        net::WfsClient client(timings, hosts);
        client.stopWhen(cancelled);
        const terrain::ElevationIndexQuery index = terrain::queryElevationIndex(
            client, terrain::ElevationModel::Terrain, {p.x - 1.0, p.y - 1.0, p.x + 1.0, p.y + 1.0},
            net::currentUtcYear());
        if (index.sheets.empty()) return std::nullopt;
        const terrain::SheetLoad load = terrain::loadSheets(client, {index.sheets.front()}, {{}, cancelled});
        if (load.cancelled) return std::nullopt;
        return terrain::sampleSheets(load.sheets, p.x, p.y);
    };
}

void ImportController::startHeightSample(geo::Point2d point, int zoneEpsg) {
    const std::uint64_t generation = ++originGeneration_;
    // The sheet can take minutes to come: at quit its download must stop with
    // the worker, so the production sampler is made with the worker's token.
    const HeightSampler custom = heightSampler_;
    const net::HttpTimings timings = services_->client.timings();
    ++pendingSamples_;
    std::weak_ptr<bool> life = life_;
    const auto started = WorkerRegistry::instance().start(
        "origin-height", [custom, timings, hosts = hosts_, link = link_, life, this, point, zoneEpsg,
                          generation](const CancelToken& token) {
            std::optional<double> height;
            try {
                const HeightSampler sampler =
                    custom ? custom : terrainModelHeight(timings, hosts, [token] { return token.cancelled(); });
                height = sampler(point, zoneEpsg);
            } catch (...) {
                height.reset();
            }
            link.post([life, this, point, generation, height] {
                if (life.expired()) return;
                --pendingSamples_;
                if (!height || generation != originGeneration_) return;
                const settings::ProjectGeoref now = settings::readProjectGeoref(host_());
                if (now.epsg != 0 && std::abs(now.easting - point.x) < 1e-6 && std::abs(now.northing - point.y) < 1e-6)
                    settings::setSurveyPointHeight(host_(), *height);
            });
        });
    if (!started) --pendingSamples_;
}

}  // namespace kl::import
