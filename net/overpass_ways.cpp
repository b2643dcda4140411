#include "net/overpass_ways.h"

#include <cmath>

#include <nlohmann/json.hpp>

#include "geodata/polish_crs.h"
#include "net/osm_width.h"

namespace kl::net {
namespace {

using nlohmann::json;

std::string tag(const json& tags, const char* key) {
    const auto it = tags.find(key);
    return it != tags.end() && it->is_string() ? it->get<std::string>() : std::string();
}

bool coordinate(const json& node, const char* key, double limit, double& out) {
    const auto it = node.find(key);
    if (it == node.end() || !it->is_number()) return false;
    out = it->get<double>();
    return std::isfinite(out) && std::abs(out) <= limit;
}

std::vector<geo::Point2d> centreline(const json& geometry) {
    std::vector<geo::Point2d> points;
    for (const json& node : geometry) {
        double lat = 0, lon = 0;
        // Overpass writes null for nodes outside a clipped geometry.
        if (!node.is_object() || !coordinate(node, "lat", 90.0, lat) || !coordinate(node, "lon", 180.0, lon)) continue;
        points.push_back(geo::wgs84ToPl1992(lat, lon));
    }
    return points;
}

}  // namespace

OverpassWays parseOverpassWays(std::string_view text) {
    OverpassWays out;
    const json doc = json::parse(text, nullptr, false);
    if (doc.is_discarded() || !doc.is_object()) return out;
    const auto elements = doc.find("elements");
    if (elements == doc.end() || !elements->is_array()) return out;
    out.readable = true;
    if (const auto remark = doc.find("remark"); remark != doc.end() && remark->is_string()) out.remark = *remark;
    for (const json& e : *elements) {
        if (!e.is_object() || e.value("type", json()) != "way") continue;
        const auto geometry = e.find("geometry");
        std::vector<geo::Point2d> points;
        if (geometry != e.end() && geometry->is_array()) points = centreline(*geometry);
        if (points.size() < 2) {
            ++out.withoutGeometry;
            continue;
        }
        const auto tagsAt = e.find("tags");
        const json tags = tagsAt != e.end() && tagsAt->is_object() ? *tagsAt : json::object();
        OsmWay way;
        way.cls = tag(tags, "highway");
        if (way.cls.empty()) way.cls = tag(tags, "railway");
        way.name = tag(tags, "name");
        const std::string bridge = tag(tags, "bridge");
        way.bridge = bridge == "yes" || bridge == "viaduct";
        way.width = osmWidth(way.cls, tag(tags, "width"), tag(tags, "lanes"), way.bridge);
        way.points = std::move(points);
        out.ways.push_back(std::move(way));
    }
    return out;
}

}  // namespace kl::net
