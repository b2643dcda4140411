#pragma once
// WMS 1.1.1 and 1.3.0: capabilities and GetMap images drawn from the demo
// site's vectors, in PNG or JPEG, in any of the offered systems.

#include "tools/geoportal/service_family.h"
#include "tools/geoportal/service_request.h"

namespace kl::geoportal {

Reply handleWms(const ServiceFamily& family, const ServiceRequest& request);

}  // namespace kl::geoportal
