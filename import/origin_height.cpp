// The terrain height under a new project origin, sampled on a worker. Only the
// latest "setOrigin" may write it, and only while the survey point is still
// the sampled one; a placement in between makes the sample stale too.
#include <cmath>
#include <memory>

#include "import/import_controller.h"
#include "shell/settings/project_georef.h"
#include "shell/worker_registry.h"

namespace kl::import {

void ImportController::startHeightSample(geo::Point2d point, int zoneEpsg) {
    const std::uint64_t generation = ++originGeneration_;
    if (!heightSampler_) return;
    ++pendingSamples_;
    std::weak_ptr<bool> life = life_;
    const auto started = WorkerRegistry::instance().start(
        "origin-height", [sampler = heightSampler_, link = link_, life, this, point, zoneEpsg,
                          generation](const CancelToken&) {
            std::optional<double> height;
            try {
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
