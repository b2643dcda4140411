#include "tools/geoportal/families/layer_sets.h"

namespace kl::geoportal {

// National register of administrative boundaries (PRG), WFS and WMS.
ServiceFamily boundariesFamily() {
    ServiceFamily f;
    f.name = "prg";
    f.title = "Panstwowy rejestr granic - granice administracyjne";
    f.pathPatterns = {R"(^/wss/service/PZGIK/PRG/(WFS|WMS)/AdministrativeBoundaries$)"};
    // MapServer sends no feature ids for the boundary layers.
    for (auto name : {layer::kVoivodeships, layer::kCounties, layer::kCommunes})
        f.wfsLayers.push_back({"ms:" + std::string(name), std::string(name), std::string(name), false});
    const Rgba none{0, 0, 0, 0};
    f.wmsLayers = {{std::string(layer::kVoivodeships), "Granice wojewodztw", {{std::string(layer::kVoivodeships), none, Rgba{200, 0, 120, 255}, 3}}, false},
                   {std::string(layer::kCounties), "Granice powiatow", {{std::string(layer::kCounties), none, Rgba{200, 0, 120, 255}, 2}}, false},
                   {std::string(layer::kCommunes), "Granice gmin", {{std::string(layer::kCommunes), none, Rgba{120, 0, 200, 255}, 2}}, false}};
    return f;
}

}  // namespace kl::geoportal
