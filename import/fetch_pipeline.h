#pragma once
// The worker-side body of "1. Pobierz elementy": runs the per-kind stages in
// their fixed order for one frame and gathers every non-fatal problem into
// one warning. Kinds whose stages are not built yet are named in a warning
// instead of being fetched.
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "import/fetch_request.h"
#include "import/fetched_data.h"
#include "net/commune_resolver.h"
#include "net/planning_register.h"
#include "net/wfs_client.h"
#include "net/wfs_layer_fetch.h"

namespace kl::import {

// What the controller keeps between fetches; used by one worker at a time.
struct FetchServices {
    net::WfsClient client;
    net::WfsMemory wfs;
    net::CommuneResolver communes;
    net::RegisterWait registerWait = net::sleepBeforeRetry;  // the register's pauses between attempts

    explicit FetchServices(net::HttpTimings timings, settings::ServiceHosts hosts)
        : client(timings, std::move(hosts)) {}
};

struct FetchProgress {
    std::string label;
    int done = 0;
    int total = 0;
    bool cancellable = false;
};

struct FetchHooks {
    std::function<void(const FetchProgress&)> progress;  // may be empty
    std::function<bool()> cancelled;                      // may be empty
};

struct FetchOutcome {
    FetchedData data;
    bool cancelled = false;  // stopped early; data is incomplete and must not be kept
    std::vector<std::pair<std::string, double>> stageSeconds;  // wall time per stage
};

// Never throws; a failing stage adds a warning and the next stage runs. The
// cancel flag is looked at between stages and between the tiles of every
// tiled stage.
FetchOutcome fetchForImport(FetchServices& services, const FetchRequest& request, const FetchHooks& hooks,
                            std::string warning = {});

}  // namespace kl::import
