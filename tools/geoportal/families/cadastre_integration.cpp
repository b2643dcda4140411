#include "tools/geoportal/families/layer_sets.h"

namespace kl::geoportal {

// National integration of the county cadastres (the map page's parcel overlay).
ServiceFamily cadastreIntegrationFamily() {
    ServiceFamily f;
    f.name = "kieg";
    f.title = "Krajowa integracja ewidencji gruntow";
    f.pathPatterns = {R"(^/cgi-bin/KrajowaIntegracjaEwidencjiGruntow$)"};
    f.wmsLayers = layers::cadastreWms();
    f.wmsLayers.push_back({"kontury", "Kontury uzytkow gruntowych", {}, false});
    return f;
}

}  // namespace kl::geoportal
