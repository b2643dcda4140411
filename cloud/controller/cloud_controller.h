#pragma once
// Answers the point-cloud palette: estimates, downloads, cancel, project
// origin. Handlers and the completion run on the main thread; the estimate
// and the download run on tracked workers that never touch the host.
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include <nlohmann/json.hpp>

#include "cloud/pipeline/cloud_detail.h"
#include "cloud/pipeline/cloud_download.h"
#include "net/http_types.h"
#include "base/bridge.h"
#include "base/service_hosts.h"
#include "base/worker_registry.h"

namespace kl::cloud {

// What the controller needs from its surroundings, so tests can stand in.
// The hosts have no default: an environment that forgot them would send the
// index and tile requests to the national services.
struct CloudEnvironment {
    explicit CloudEnvironment(settings::ServiceHosts serviceHosts) : hosts(std::move(serviceHosts)) {}

    // Sends an event to the cloud page if the palette still exists (main thread).
    std::function<void(const std::string& type, nlohmann::json obj)> send;
    // Runs a task on the main thread later; the failure path clears busy state.
    std::function<bool(std::function<void()> task, std::function<void()> onFailure)> post;
    // Folder of the temporary import.e57 (and import.laz) and of the user's last cloud.
    std::string outputDir;
    std::string keepDir;
    int currentYear = 0;  // 0: this calendar year
    net::HttpTimings timings;
    settings::ServiceHosts hosts;  // where the index and the tiles are asked for
};

class CloudController {
public:
    static CloudController& instance();
    explicit CloudController(CloudEnvironment env);

    void registerHandlers(Bridge& bridge);

    nlohmann::json onFrameEstimate(const nlohmann::json& msg);
    nlohmann::json onDownload(const nlohmann::json& msg);
    nlohmann::json onCancel(const nlohmann::json& msg);
    nlohmann::json onSetOrigin(const nlohmann::json& msg);

    void startDownload(const geo::Bbox& frame, cloudui::Detail detail, int placeEpsg, double originE, double originN,
                       double originZ, bool originSet, bool alsoLaz = false);

    bool busy() const { return busy_; }
    double density() const { return state_->density.load(); }

    // Density assumed before the index has told the real one (points per m²).
    static constexpr double kInitialDensity = 12.0;

private:
    // One request to learn the real density of a frame.
    struct EstimateJob {
        geo::Bbox box;
        cloudui::Detail detail;
        double area = 0, used = 0;
        uint64_t generation = 0;
    };
    // Shared with the workers, which may outlive a request.
    struct Shared {
        std::atomic<double> density{kInitialDensity};
        std::atomic<uint64_t> estimateGeneration{0};
        std::atomic<bool> cancelRequested{false};
        // The page asks on every map move: one worker at a time takes the
        // newest request, and older ones waiting are dropped.
        std::mutex estimateMutex;
        std::optional<EstimateJob> nextEstimate;
        bool estimating = false;
        std::optional<EstimateJob> takeEstimate();
    };
    static void refineEstimate(const std::shared_ptr<Shared>& shared, const CloudEnvironment& env,
                               const EstimateJob& job, const CancelToken& token);
    void complete(const CloudDownloadResult& result);

    CloudEnvironment env_;
    std::shared_ptr<Shared> state_ = std::make_shared<Shared>();
    bool busy_ = false;
};

}  // namespace kl::cloud
