#pragma once
// The start position answer both palettes give their page: the project's
// survey point in WGS84 when the georeference can be read, and always the
// service hosts the page draws its maps from.
#include <nlohmann/json.hpp>

#include "host/sdk/kl_host_api.h"
#include "base/service_hosts.h"

namespace kl::import {

// {"type": "init", "hosts": {...}} plus "lat", "lon", "zoom": 17 when the
// project georeference is readable and lies on the globe.
nlohmann::json initReply(const KlHostFunctions* host, const settings::ServiceHosts& hosts);

}  // namespace kl::import
