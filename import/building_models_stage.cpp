#include "import/building_models_stage.h"

#include <algorithm>

#include "buildings/package_fetch.h"

namespace kl::import {
namespace {

bool asked(const FetchRequest& request, const char* key) {
    return std::find(request.layers.begin(), request.layers.end(), key) != request.layers.end();
}

}  // namespace

bool wantsBuildingModels(const FetchRequest& request) {
    return asked(request, "budynki3d") || asked(request, "budynkilod2") || asked(request, "budynkirekon");
}

void fetchBuildingModels(net::WfsClient& client, const FetchRequest& request, const std::string& teryt,
                         const FetchHooks& hooks, FetchedData& out) {
    const buildings::PackageFetchHooks packageHooks{
        [&hooks](const std::string& label, int done, int total) {
            if (hooks.progress) hooks.progress({label, done, total, true});
        },
        hooks.cancelled,
        [&out](const std::string& text) { appendWarning(out.warning, text); }};
    const buildings::PackageFetchInput input{request.frame, teryt, {}};
    // The reconstruction rebuilds the LOD1 footprints.
    if (asked(request, "budynki3d") || asked(request, "budynkirekon")) {
        auto got = buildings::fetchBuildings3d(client, input, packageHooks);
        if (!got.summary.empty()) out.reportLines.push_back(got.summary);
        out.lod1Buildings = std::move(got.buildings);
        out.lod1Asked = asked(request, "budynki3d");
    }
    if (asked(request, "budynkilod2") && !(hooks.cancelled && hooks.cancelled())) {
        auto got = buildings::fetchBuildingsLod2(client, input, packageHooks);
        if (!got.summary.empty()) out.reportLines.push_back(got.summary);
        if (!got.summary.empty() && got.buildings.empty())
            appendWarning(out.warning, "Brak budynkow LOD2 dla tego obszaru (pokrycie GUGiK ~236/380 powiatow).");
        out.lod2Buildings = std::move(got.buildings);
    }
}

}  // namespace kl::import
