#pragma once
// The brain behind the map palette: answers the map page's messages, owns the
// user's settings, runs the two-step import (fetch on a worker, place inside
// one undo step) and sets the project's georeference from the map.
// Main thread only; workers reach it only through the page link's post.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "geodata/geometry.h"
#include "host/sdk/kl_host_api.h"
#include "import/fetch_pipeline.h"
#include "import/fetched_data.h"
#include "import/place_job.h"
#include "import/placed_elements.h"
#include "base/bridge.h"
#include "shell/settings/project_georef.h"
#include "base/service_hosts.h"
#include "shell/settings/settings.h"

namespace kl::import {

// How the controller reaches its page: send and alive on the main thread,
// post from any thread onto the main thread (false when refused).
struct PageLink {
    std::function<void(const std::string& type, nlohmann::json message)> send;
    std::function<bool()> alive;
    std::function<bool(std::function<void()>)> post;
    // The map palette of the add-on.
    static PageLink mapPalette();
};

// Terrain height at a PL-2000 point, or nothing; runs on a worker.
using HeightSampler = std::function<std::optional<double>(geo::Point2d point, int zoneEpsg)>;

// The height of the national terrain model: the first sheet its index lists
// for a 2 m box around the point, downloaded through the cache. Once
// cancelled says so the sheet's download stops and nothing is returned.
HeightSampler terrainModelHeight(net::HttpTimings timings, settings::ServiceHosts hosts,
                                 std::function<bool()> cancelled = {});

// The project's zero above sea level for one placement, and what to say.
struct HeightAnchor {
    double offset = 0.0;  // metres, PL-EVRF2007-NH
    bool known = false;   // false: no height of the site anywhere, offset is 0
    std::vector<std::string> warnings;
};

class ImportController {
public:
    using HostSource = std::function<const KlHostFunctions*()>;

    // place draws a fetch into the project; without one, "place" answers an error.
    ImportController(std::filesystem::path settingsFile, HostSource host, settings::ServiceHosts hosts,
                     PlaceStep place = {});
    ~ImportController();
    ImportController(const ImportController&) = delete;
    ImportController& operator=(const ImportController&) = delete;

    // Installs the handlers this controller answers so far on a map palette's
    // bridge; from then on this controller hears the host's undo and redo.
    void registerHandlers(Bridge& bridge);
    // The host undid or redid a step: the page learns whether the last
    // placement is still in the project.
    void onHistoryChanged();

    nlohmann::json onGetInit(const nlohmann::json& msg);
    nlohmann::json onGetLayers(const nlohmann::json& msg);
    nlohmann::json onSettingsChanged(const nlohmann::json& msg);
    nlohmann::json onSetOrigin(const nlohmann::json& msg);
    nlohmann::json onFetch(const nlohmann::json& msg);
    nlohmann::json onPlace(const nlohmann::json& msg);
    nlohmann::json onCancel(const nlohmann::json& msg);
    // Both answer later, from a worker, through the page link.
    nlohmann::json onSearchAddress(const nlohmann::json& msg);
    nlohmann::json onSearchAddressSuggest(const nlohmann::json& msg);

    void setPageLink(PageLink link) { link_ = std::move(link); }
    // Network knobs of later fetches (tests shorten the waits, and record
    // the register's pauses instead of sleeping them).
    void setFetchTimings(net::HttpTimings timings, net::RegisterWait registerWait = net::sleepBeforeRetry);
    // Replaces the terrain model as the source of the survey point's height.
    void setHeightSampler(HeightSampler sampler) { heightSampler_ = std::move(sampler); }

    bool busy() const { return busy_; }
    bool hasFetched() const { return hasFetched_; }
    bool placedInProject() const { return placed_.inProject(host_()); }
    const FetchedData& fetched() const { return fetched_; }
    bool heightSamplePending() const { return pendingSamples_ > 0; }
    // Height above sea level of the project's zero at the last placement.
    double terrainZOffset() const { return terrainZOffset_; }

    const settings::Settings& currentSettings() const { return settings_; }
    // Keeps the new state in memory even when the file cannot be written.
    settings::FileWriteResult saveSettings();

private:
    struct FetchJob;
    void startFetch(FetchRequest request);
    void finishFetch(const FetchRequest& request, FetchOutcome outcome);
    void startHeightSample(geo::Point2d point, int zoneEpsg);
    int fetchZoneFor(const FetchRequest& request) const;
    // The survey point's height when it has one, else the stored anchor of
    // this site, else the lowest terrain point fetched, which then becomes
    // the anchor and the survey point's height.
    HeightAnchor settleHeightAnchor(const settings::ProjectGeoref& georef);

    std::filesystem::path settingsFile_;
    HostSource host_;
    settings::ServiceHosts hosts_;
    settings::Settings settings_;
    std::string settingsNotice_;  // Polish: how the settings file was not read whole; shown at start

    PageLink link_ = PageLink::mapPalette();
    std::shared_ptr<FetchServices> services_ = std::make_shared<FetchServices>(net::HttpTimings{}, hosts_);
    std::shared_ptr<std::atomic<bool>> cancelRequested_ = std::make_shared<std::atomic<bool>>(false);
    bool busy_ = false;
    bool hasFetched_ = false;
    FetchedData fetched_;
    PlacedElements placed_;  // of the stored result
    geo::Bbox fetchedBbox_;
    std::set<std::string> fetchedLayers_;  // the layer keys the stored result was asked for
    int projectEpsg_ = 2180;
    double cloudStep_ = 1.0;
    bool smoothContours_ = false;
    double terrainZOffset_ = 0.0;

    HeightSampler heightSampler_;
    PlaceStep placeStep_;
    std::uint64_t originGeneration_ = 0;
    int pendingSamples_ = 0;

    // Work posted back from a worker checks this before touching the controller.
    std::shared_ptr<bool> life_ = std::make_shared<bool>(true);
};

}  // namespace kl::import
