#include "tools/geoportal/families/layer_sets.h"

namespace kl::geoportal {

// A commune's own local plan service (MPZP), as the communes publish them:
// the plan drawings beside layers of plan outlines that an import leaves out.
ServiceFamily communePlansFamily() {
    ServiceFamily f;
    f.name = "mpzp";
    f.title = "Miejscowe plany zagospodarowania przestrzennego gminy";
    f.pathPatterns = {R"(^/gmina/[0-9]{6}/mpzp/wms$)"};
    const Rgba zoneLine{150, 30, 30, 255};
    f.wmsLayers = {{"granice_planow", "Granice obowiazujacych planow", {{std::string(layer::kPlanZones), Rgba{0, 0, 0, 0}, zoneLine, 3}}, false},
                   {"rysunek_planu", "Rysunek planu", {{std::string(layer::kPlanZones), Rgba{250, 200, 90, 160}, zoneLine, 1}}, false}};
    return f;
}

}  // namespace kl::geoportal
