#pragma once
// A family of services that answer on the same path forms with the same
// layers (a county's cadastre, its utility network, a national service...).
// Each family lives in its own file under families/ and is listed once in
// the catalogue, so a new endpoint is one new file and one line.

#include "tools/geoportal/demo_area.h"
#include "tools/geoportal/service_request.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kl::geoportal {

struct Rgba {
    uint8_t r = 0, g = 0, b = 0, a = 255;
};

struct WfsLayer {
    std::string typeName;     // as offered, e.g. "ms:dzialki"
    std::string title;
    std::string demoLayer;    // source layer of the demo site
    bool featureIds = true;   // the real service of this kind sends gml:id
};

// How one WMS layer is drawn from demo vector layers.
struct WmsLayer {
    std::string name;  // e.g. "dzialki"
    std::string title;
    struct Source {
        std::string demoLayer;
        Rgba fill{0, 0, 0, 0};  // alpha 0 = no fill
        Rgba stroke{0, 0, 0, 0};
        double strokePixels = 1;
        double strokeMetres = 0;  // above 0: a stroke of this ground width instead
    };
    std::vector<Source> sources;
    bool photo = false;  // paints the ground like an aerial image
};

struct ServiceFamily {
    std::string name;                       // e.g. "egib"
    std::string title;                      // capabilities title
    std::vector<std::string> pathPatterns;  // ECMAScript regexes on the request path
    std::string prefix = "ms";
    std::string namespaceUri = "http://mapserver.gis.umn.edu/mapserver";
    std::vector<WfsLayer> wfsLayers;  // empty: the family speaks no WFS
    std::vector<WmsLayer> wmsLayers;  // empty: the family speaks no WMS
    // When set, WFS layers are made per request instead of read from the demo
    // site (content that follows the server's settings, like the LiDAR grid).
    std::function<std::vector<DemoFeature>(const WfsLayer&, const ServiceRequest&)> features;
    // Endpoints that are not OGC services (file downloads, sheet indexes as
    // files): when set, it answers every request on the family's paths.
    std::function<Reply(const ServiceRequest&)> handler;
};

// The families, one per file under families/.
ServiceFamily countyCadastreFamily();
ServiceFamily countyUtilitiesFamily();
ServiceFamily countyTopographyFamily();
ServiceFamily countyIntegratedFamily();
ServiceFamily boundariesFamily();
ServiceFamily newBuildingsFamily();
ServiceFamily orthophotoFamily();
ServiceFamily cadastreIntegrationFamily();
ServiceFamily planPreviewFamily();
ServiceFamily communePlansFamily();
ServiceFamily lidarIndexFamily();
ServiceFamily lidarTilesFamily();
ServiceFamily planningRegisterFamily();
ServiceFamily utilitiesIntegrationFamily();
ServiceFamily topographyIntegrationFamily();
ServiceFamily baseMapStyleFamily();
ServiceFamily terrainModelIndexFamily();
ServiceFamily surfaceModelIndexFamily();
ServiceFamily elevationSheetsFamily();
ServiceFamily nominatimFamily();
ServiceFamily photonFamily();
ServiceFamily modelPackagesFamily();
ServiceFamily overpassFamily();

const std::vector<ServiceFamily>& serviceCatalogue();

}  // namespace kl::geoportal
