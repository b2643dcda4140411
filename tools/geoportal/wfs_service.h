#pragma once
// WFS 2.0.0 and 1.1.0: capabilities, GetFeature with BBOX in either axis
// order, SRSNAME, paging by COUNT/STARTINDEX and resultType=hits.

#include "tools/geoportal/service_family.h"
#include "tools/geoportal/service_request.h"

namespace kl::geoportal {

Reply handleWfs(const ServiceFamily& family, const ServiceRequest& request);

}  // namespace kl::geoportal
