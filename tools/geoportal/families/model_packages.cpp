#include "tools/geoportal/model_packages.h"
#include "tools/geoportal/service_family.h"

namespace kl::geoportal {

namespace {

Reply serve(const ServiceRequest& req) {
    const ModelPackages& packages = demoModelPackages();
    if (req.path == demo::kLod1PackagePath) return {200, "application/zip", packages.lod1Zip};
    if (req.path == demo::kLod2PackagePath) return {200, "application/zip", packages.lod2Zip};
    return {404, "text/html; charset=UTF-8",
            "<html><head><title>404 Not Found</title></head><body><h1>Not Found</h1></body></html>\n"};
}

}  // namespace

// The county LOD1 (yearly editions) and LOD2 building model packages.
ServiceFamily modelPackagesFamily() {
    ServiceFamily f;
    f.name = "budynki3d";
    f.title = "Modele 3D budynkow";
    f.pathPatterns = {R"(^/InneDane/Budynki3D/LOD[12]/.+\.zip$)"};
    f.handler = serve;
    return f;
}

}  // namespace kl::geoportal
