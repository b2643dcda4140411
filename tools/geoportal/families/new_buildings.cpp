#include "tools/geoportal/families/layer_sets.h"

namespace kl::geoportal {

// National topographic database, layer of buildings new since the last edition.
ServiceFamily newBuildingsFamily() {
    ServiceFamily f;
    f.name = "bdot10k";
    f.title = "BDOT10k - nowe budynki";
    f.pathPatterns = {R"(^/wss/service/PZGIK/BDOT10k/WFS/NoweBudynki$)"};
    f.wfsLayers = {{"ms:" + std::string(layer::kNewBuildings), "Budynki nowe 2025", std::string(layer::kNewBuildings), true}};
    return f;
}

}  // namespace kl::geoportal
