#include "tools/geoportal/families/layer_sets.h"

namespace kl::geoportal {

// County large-scale base map services (BDOT500); the demo county offers them as maps only.
ServiceFamily countyTopographyFamily() {
    ServiceFamily f;
    f.name = "bdot500";
    f.title = "Powiatowa baza danych obiektow topograficznych BDOT500";
    f.pathPatterns = {R"(^/map/geoportal/wmsb\.php$)",
                      R"(^/cgi-bin/[A-Za-z0-9_.]+-bdot$)",
                      R"(^/wfs_bdot$)",
                      R"(^/geoserver/bdot/(wfs|ows)$)"};
    f.wmsLayers = layers::topographyWms();
    return f;
}

}  // namespace kl::geoportal
