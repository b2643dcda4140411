#include "import/init_reply.h"

#include <cmath>

#include "geodata/polish_crs.h"
#include "shell/settings/project_georef.h"

namespace kl::import {

nlohmann::json initReply(const KlHostFunctions* host, const settings::ServiceHosts& hosts) {
    nlohmann::json reply = {{"type", "init"}, {"hosts", settings::serviceHostsJson(hosts)}};
    const auto g = settings::readProjectGeoref(host);
    if (g.level == settings::GeorefLevel::Unreadable) return reply;
    const geo::LatLon p = geo::isPl2000Epsg(g.epsg) ? geo::pl2000ToWgs84(g.easting, g.northing, g.epsg)
                                                    : geo::pl1992ToWgs84(g.easting, g.northing);
    // A survey point in some local grid converts to nowhere; keep the page's own view then.
    if (!std::isfinite(p.lat) || !std::isfinite(p.lon) || std::fabs(p.lat) > 90.0 || std::fabs(p.lon) > 180.0) {
        return reply;
    }
    reply["lat"] = p.lat;
    reply["lon"] = p.lon;
    reply["zoom"] = 17;
    return reply;
}

}  // namespace kl::import
