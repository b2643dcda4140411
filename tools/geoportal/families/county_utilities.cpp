#include "tools/geoportal/families/layer_sets.h"

namespace kl::geoportal {

// County utility-network services (GESUT).
ServiceFamily countyUtilitiesFamily() {
    ServiceFamily f;
    f.name = "gesut";
    f.title = "Powiatowa baza geodezyjnej ewidencji sieci uzbrojenia terenu";
    f.pathPatterns = {R"(^/wss/ext/PowiatoweBazyUzbrojeniaTerenu/[0-9]{4}$)",
                      R"(^/map/geoportal/(wfsg|wmsg)\.php$)",
                      R"(^/cgi-bin/[A-Za-z0-9_.]+-gesut$)",
                      R"(^/wfs_gesut$)",
                      R"(^/gugik/wfs/gesut$)",
                      R"(^/geoserver/kgesut/(wfs|ows)$)"};
    f.wfsLayers = layers::utilitiesWfs();
    f.wmsLayers = layers::utilitiesWms();
    return f;
}

}  // namespace kl::geoportal
