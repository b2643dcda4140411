#include "tools/geoportal/families/layer_sets.h"

namespace kl::geoportal {

// County cadastral services (EGiB), in the path forms the county registry uses.
ServiceFamily countyCadastreFamily() {
    ServiceFamily f;
    f.name = "egib";
    f.title = "Powiatowa baza ewidencji gruntow i budynkow";
    f.pathPatterns = {R"(^/wss/ext/PowiatoweBazyEwidencjiGruntow/[0-9]{4}$)",
                      R"(^/map/geoportal/(wfs|wfse|wms|wmse)\.php$)",
                      R"(^(/cgi-bin)?/[A-Za-z0-9_.]+-egib$)",
                      R"(^/ggp$)"};
    f.wfsLayers = layers::cadastreWfs();
    f.wmsLayers = layers::cadastreWms();
    return f;
}

}  // namespace kl::geoportal
