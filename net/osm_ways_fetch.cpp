#include "net/osm_ways_fetch.h"

#include <algorithm>
#include <charconv>

#include "base/number_text.h"
#include "geodata/polish_crs.h"
#include "net/service_hosts.h"
#include "net/url_text.h"

namespace kl::net {
namespace {

// South, west, north, east of the frame's four corners.
std::string degreeBox(const geo::Bbox& frame) {
    double south = 90, west = 180, north = -90, east = -180;
    for (const geo::Point2d c : {geo::Point2d{frame.minX, frame.minY}, geo::Point2d{frame.maxX, frame.minY},
                                 geo::Point2d{frame.maxX, frame.maxY}, geo::Point2d{frame.minX, frame.maxY}}) {
        const geo::LatLon g = geo::pl1992ToWgs84(c.x, c.y);
        south = std::min(south, g.lat);
        north = std::max(north, g.lat);
        west = std::min(west, g.lon);
        east = std::max(east, g.lon);
    }
    const auto degrees = [](double v) { return numberText(v, std::chars_format::fixed, 6); };
    return degrees(south) + "," + degrees(west) + "," + degrees(north) + "," + degrees(east);
}

OsmWaysFetch failed(std::string error) {
    OsmWaysFetch out;
    out.error = std::move(error);
    return out;
}

}  // namespace

std::string overpassQuery(const geo::Bbox& frame, bool bridges, bool roads) {
    const std::string box = degreeBox(frame);
    std::string q = "[out:json][timeout:25];(";
    if (bridges) q += "way[\"bridge\"~\"^(yes|viaduct)$\"](" + box + ");";
    if (roads)
        q += "way[\"highway\"~\"^(motorway|trunk|primary|secondary|tertiary|residential|unclassified|living_street)$\"](" +
             box + ");";
    return q + ");out geom;";
}

OsmWaysFetch fetchOsmWays(const geo::Bbox& frame, WfsClient& client, bool bridges, bool roads) {
    if (!bridges && !roads) return {};
    if ((frame.maxX - frame.minX) * (frame.maxY - frame.minY) > kMaxOsmFrameSquareMetres)
        return failed("Mosty/drogi (OSM): kadr za duzy \u2014 przybliz mape (max ok. 5x5 km).");
    const std::string url =
        std::string(kOverpassInterpreterUrl) + "?data=" + urlEncode(overpassQuery(frame, bridges, roads));
    const HttpResponse r = client.get(url, ExpectedBody::Json, kOverpassReceiveTimeoutMs);
    if (r.status != 200 && r.status != 0)
        return failed("OSM (Overpass): usluga nie odpowiada (status " + std::to_string(r.status) + ").");
    if (!r.ok) return failed("OSM (Overpass): usluga nie odpowiada (" + r.error + ").");
    OverpassWays parsed = parseOverpassWays(r.body);
    if (!parsed.readable) return failed("OSM (Overpass): nieczytelna odpowiedz uslugi - mosty i drogi pominiete.");
    // A cut answer would pass for the whole frame: roads missing without a word.
    if (!parsed.remark.empty())
        return failed("OSM (Overpass): usluga przerwala zapytanie (" + parsed.remark +
                      ") - mosty i drogi pominiete, sprobuj mniejszy kadr.");
    return {std::move(parsed.ways), {}, parsed.withoutGeometry};
}

}  // namespace kl::net
