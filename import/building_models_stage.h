#pragma once
// The stage of the county 3D building models: LOD1 blocks ("budynki3d", and
// the footprints "budynkirekon" rebuilds) and LOD2 buildings ("budynkilod2")
// of the frame, into the fetch result.
#include <string>

#include "import/fetch_pipeline.h"
#include "import/fetch_request.h"
#include "import/fetched_data.h"

namespace kl::import {

bool wantsBuildingModels(const FetchRequest& request);

// teryt: the frame's commune code, empty when it could not be found. Problems
// go into the result's warning, one summary line per kind into its report.
void fetchBuildingModels(net::WfsClient& client, const FetchRequest& request, const std::string& teryt,
                         const FetchHooks& hooks, FetchedData& out);

}  // namespace kl::import
