#pragma once
// The "fetch" message of the map page, read and checked before anything
// starts. A frame that is not a small area inside Poland is refused: a
// zoomed-out map would otherwise ask the services for millions of tiles.
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "geodata/geometry.h"

namespace kl::import {

// Largest frame accepted, in square kilometres of PL-1992 grid.
inline constexpr double kMaxFrameAreaKm2 = 25.0;

struct FetchRequest {
    double west = 0, south = 0, east = 0, north = 0;  // degrees
    geo::Bbox frame;                                   // PL-1992 box of the four corners
    std::vector<std::string> layers;
    int rasterScale = 1000;
    int terrainStep = 1;
    double contourInterval = 1.0;
    bool smoothContours = false;
    double cloudStep = 1.0;
    // PL-2000 zone the orthophoto is asked in: the project's when it has one,
    // else the zone of the frame's centre. Anything else asks in PL-1992.
    int workingZone = 2180;
};

struct FetchRequestCheck {
    std::optional<FetchRequest> request;
    std::string error;  // Polish reply text when refused
};

// Reads the message; a field of the wrong JSON kind or any other fault comes
// back as a refusal text naming it.
FetchRequestCheck readFetchRequest(const nlohmann::json& msg);

// Layer keys the map page may send.
bool isKnownLayerKey(const std::string& key);

}  // namespace kl::import
