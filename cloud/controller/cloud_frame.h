#pragma once
#include <optional>

#include <nlohmann/json.hpp>

#include "geodata/geometry.h"

namespace kl::cloud {

struct CloudFrame {
    geo::Bbox pl1992;
    double west = 0, south = 0, east = 0, north = 0;
};

// The frame of a page message: "bboxWgs84" as [west, south, east, north]
// degrees, finite, not empty and within Poland's reach. Nothing otherwise.
std::optional<CloudFrame> cloudFrameFromMessage(const nlohmann::json& msg);

}  // namespace kl::cloud
