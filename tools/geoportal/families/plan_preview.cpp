#include "tools/geoportal/families/layer_sets.h"

namespace kl::geoportal {

// National previews of local and general plans (map page only, never imported).
ServiceFamily planPreviewFamily() {
    ServiceFamily f;
    f.name = "plany";
    f.title = "Integracja planow zagospodarowania przestrzennego";
    f.pathPatterns = {R"(^/wss/ext/KrajowaIntegracjaMiejscowychPlanowZagospodarowaniaPrzestrzennego$)",
                      R"(^/wss/ext/PlanyOgolneGmin$)"};
    const Rgba zoneLine{160, 0, 160, 255};
    f.wmsLayers = {{"granice", "Granice planow", {{std::string(layer::kPlanZones), Rgba{255, 200, 120, 110}, zoneLine, 2}}, false},
                   {"strefaPlanistyczna", "Strefy planistyczne", {{std::string(layer::kPlanZones), Rgba{255, 150, 150, 110}, zoneLine, 2}}, false}};
    return f;
}

}  // namespace kl::geoportal
