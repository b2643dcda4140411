#include "tools/geoportal/families/layer_sets.h"

namespace kl::geoportal {

// Integrated county endpoints that answer cadastre, utilities and base map on one address.
ServiceFamily countyIntegratedFamily() {
    ServiceFamily f;
    f.name = "iip";
    f.title = "Serwis integracji informacji przestrzennej powiatu";
    f.pathPatterns = {R"(^/iip/ows$)", R"(^/wms_bdot_gesut$)"};
    f.wfsLayers = layers::cadastreWfs();
    layers::append(f.wfsLayers, layers::utilitiesWfs());
    f.wmsLayers = layers::cadastreWms();
    layers::append(f.wmsLayers, layers::utilitiesWms());
    layers::append(f.wmsLayers, layers::topographyWms());
    return f;
}

}  // namespace kl::geoportal
