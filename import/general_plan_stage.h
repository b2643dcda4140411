#pragma once
// The "pog" stage: the commune's general plan from the Urban-Planning
// Register, as the zones that touch the frame.
#include <string>
#include <vector>

#include "geodata/geometry.h"
#include "geodata/gis_feature.h"
#include "net/planning_register.h"

namespace kl::import {

struct GeneralPlanZones {
    std::vector<geo::GisFeature> zones;  // general-plan features in the frame
    std::string warning;                 // Polish, joined by single spaces
};

GeneralPlanZones fetchGeneralPlanZones(net::WfsClient& client, const std::string& teryt, const geo::Bbox& frame,
                                       const net::RegisterWait& wait);

}  // namespace kl::import
