#pragma once
// The map palette's "place" message in two halves: import checks the
// project's georeference against the stored fetch and settles the height
// anchor; the drawing itself belongs to the placing module above import,
// which plugs in as the controller's place step.
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "geodata/geometry.h"
#include "host/sdk/kl_host_api.h"
#include "import/fetched_data.h"
#include "shell/settings/settings.h"

namespace kl::import {

struct PlaceJob {
    const KlHostFunctions* host = nullptr;
    const FetchedData& fetched;
    const std::set<std::string>& layers;  // the layer keys the fetch was asked for
    const settings::Settings& settings;
    geo::Bbox frame;                      // of the fetch, PL-1992
    int zoneEpsg = 2180;                  // the PL-2000 zone the project lies in
    geo::Point2d survey;                  // the project's survey point in that zone
    std::optional<double> surveyHeight;   // read from the project without error
    double anchorOffset = 0.0;            // the project's zero above sea level
    bool anchorKnown = false;             // false: no height of the site anywhere
    bool smoothContours = false;
    std::vector<std::string> warnings;       // said before the placing's own
    std::vector<std::string> closingWarnings;  // said after them
};

struct PlaceStepResult {
    bool ok = false;       // false: the whole undo step was rolled back
    nlohmann::json reply;  // "placeDone" or "error" for the page
};

using PlaceStep = std::function<PlaceStepResult(const PlaceJob&)>;

}  // namespace kl::import
