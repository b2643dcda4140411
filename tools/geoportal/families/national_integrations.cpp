#include "tools/geoportal/families/layer_sets.h"

namespace kl::geoportal {

// National integration of the county utility networks: the counties' maps
// gathered in one WMS, for counties without a service of their own.
ServiceFamily utilitiesIntegrationFamily() {
    ServiceFamily f;
    f.name = "kiut";
    f.title = "Krajowa integracja uzbrojenia terenu";
    f.pathPatterns = {R"(^/cgi-bin/KrajowaIntegracjaUzbrojeniaTerenu$)"};
    f.wmsLayers = layers::utilitiesWms();
    return f;
}

// National integration of the county base maps (BDOT500).
ServiceFamily topographyIntegrationFamily() {
    ServiceFamily f;
    f.name = "kibdot";
    f.title = "Krajowa integracja baz danych obiektow topograficznych";
    f.pathPatterns = {R"(^/cgi-bin/KrajowaIntegracjaBazDanychObiektowTopograficznych$)"};
    f.wmsLayers = layers::topographyWms();
    return f;
}

}  // namespace kl::geoportal
