#include "tools/geoportal/service_family.h"

namespace kl::geoportal {

const std::vector<ServiceFamily>& serviceCatalogue() {
    static const std::vector<ServiceFamily> catalogue = {
        countyCadastreFamily(),  countyUtilitiesFamily(), countyTopographyFamily(),
        countyIntegratedFamily(), boundariesFamily(),     newBuildingsFamily(),
        orthophotoFamily(),       cadastreIntegrationFamily(), planPreviewFamily(), communePlansFamily(),
        lidarIndexFamily(),       lidarTilesFamily(),      terrainModelIndexFamily(), surfaceModelIndexFamily(),
        elevationSheetsFamily(),  nominatimFamily(),       photonFamily(),          modelPackagesFamily(),
        planningRegisterFamily(), utilitiesIntegrationFamily(), topographyIntegrationFamily(), baseMapStyleFamily(),
        overpassFamily(),
    };
    return catalogue;
}

}  // namespace kl::geoportal
