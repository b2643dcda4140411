#pragma once
// The real county building sample (a round building in the old town), read
// from the shared samples so that the one real outline of the demo site is
// served as the county answered it.
#include <string>
#include <vector>

#include "tools/geoportal/demo_area.h"

namespace kl::geoportal {

// Nothing when the sample is missing or unreadable.
std::vector<DemoFeature> loadSampleBuildings(const std::string& samplesDir);

}  // namespace kl::geoportal
