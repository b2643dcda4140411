#include "tools/geoportal/families/layer_sets.h"

namespace kl::geoportal {

// National orthophoto map; the picture is painted from the site's vectors.
ServiceFamily orthophotoFamily() {
    ServiceFamily f;
    f.name = "orto";
    f.title = "Ortofotomapa";
    f.pathPatterns = {R"(^/wss/service/PZGIK/ORTO/WMS/(StandardResolution|HighResolution)$)"};
    const Rgba none{0, 0, 0, 0};
    f.wmsLayers = {{"Raster",
                    "Ortofotomapa",
                    {{layers::kStreets, none, Rgba{96, 96, 92, 255}, 1, 11},
                     {std::string(layer::kBuildings), Rgba{150, 70, 55, 255}, Rgba{90, 40, 30, 255}, 1},
                     {std::string(layer::kNewBuildings), Rgba{120, 120, 125, 255}, Rgba{70, 70, 75, 255}, 1}},
                    true}};
    return f;
}

}  // namespace kl::geoportal
