// OpenStreetMap's Overpass interpreter over the demo site: the streets as
// highways of several classes with the width and lane tags mappers write
// (also in forms a reader must tolerate), a bridge where the Asnyka street
// crosses the river east of Sierpnia 1980, and a way of one node. Answers
// "[out:json]... out geom;" queries in the form of the real service: the
// header, then ways with bounds, node ids, geometry and tags.
#include "tools/geoportal/crs.h"
#include "tools/geoportal/demo_river.h"
#include "tools/geoportal/service_family.h"
#include "tools/geoportal/text_util.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <regex>

namespace kl::geoportal {

namespace {

using nlohmann::ordered_json;

struct OsmWay {
    long long id;
    std::vector<Xy> path;  // PL-1992
    std::vector<std::pair<std::string, std::string>> tags;
};

struct StreetTags {
    const char* name;
    std::vector<std::pair<std::string, std::string>> tags;
};

const std::vector<StreetTags>& streetTags() {
    static const std::vector<StreetTags> tags = {
        {"Kubika", {{"highway", "primary"}, {"lanes", "2"}}},
        {"Asnyka", {{"highway", "secondary"}, {"width", "7 m"}}},
        {"Jana Pawla II", {{"highway", "tertiary"}, {"width", "7,5"}}},
        {"Grunwaldzka", {{"highway", "residential"}, {"width", "75"}}},
        {"Zgorzelecka", {{"highway", "trunk"}}},
        {"Prusa", {{"highway", "residential"}, {"width", "6.5"}}},
        {"Sierpnia 1980", {{"highway", "living_street"}}},
        {"Mickiewicza", {{"highway", "unclassified"}}},
    };
    return tags;
}

std::vector<OsmWay> demoWays() {
    std::vector<OsmWay> ways;
    long long id = 4'100'000'001;
    for (const DemoStreet& s : DemoArea::instance().streets()) {
        std::vector<std::pair<std::string, std::string>> tags{{"highway", "service"}};
        for (const StreetTags& t : streetTags())
            if (s.name == t.name) tags = t.tags;
        tags.emplace_back("name", s.name);
        if (s.name != "Asnyka") {
            ways.push_back({id++, {s.from, s.to}, tags});
            continue;
        }
        // Split at the bridge, as mappers do.
        const Xy west{demo::kBridgeWest, s.from.y}, east{demo::kBridgeEast, s.from.y};
        ways.push_back({id++, {s.from, west}, tags});
        ways.push_back({id++, {east, s.to}, tags});
        ways.push_back({id++,
                        {west, {(west.x + east.x) / 2, s.from.y}, east},
                        {{"bridge", "yes"}, {"highway", "secondary"}, {"lanes", "2"}, {"layer", "1"},
                         {"name", "Most na Bobrze"}}});
    }
    // A way of a single node, as broken edits leave them.
    const Xy stub{demo::kMinEasting + 100, demo::kMinNorthing + 100};
    ways.push_back({id++, {stub}, {{"highway", "residential"}, {"name", "Slepa"}}});
    return ways;
}

std::string tagOf(const OsmWay& w, const std::string& key) {
    for (const auto& [k, v] : w.tags)
        if (k == key) return v;
    return {};
}

bool asked(const OsmWay& w, bool bridges, bool roads) {
    static const std::regex kRoadClasses("^(motorway|trunk|primary|secondary|tertiary|residential|unclassified|living_street)$");
    const std::string bridge = tagOf(w, "bridge");
    return (bridges && (bridge == "yes" || bridge == "viaduct")) || (roads && std::regex_match(tagOf(w, "highway"), kRoadClasses));
}

ordered_json element(const OsmWay& w) {
    ordered_json geometry = ordered_json::array();
    ordered_json nodes = ordered_json::array();
    double minLat = 90, minLon = 180, maxLat = -90, maxLon = -180;
    long long node = w.id * 10;
    for (const Xy& p : w.path) {
        const Xy g = fromPl1992(4326, p);
        minLat = std::min(minLat, g.y), maxLat = std::max(maxLat, g.y);
        minLon = std::min(minLon, g.x), maxLon = std::max(maxLon, g.x);
        geometry.push_back({{"lat", std::round(g.y * 1e7) / 1e7}, {"lon", std::round(g.x * 1e7) / 1e7}});
        nodes.push_back(node++);
    }
    ordered_json tags = ordered_json::object();
    for (const auto& [k, v] : w.tags) tags[k] = v;
    return {{"type", "way"},
            {"id", w.id},
            {"bounds", {{"minlat", minLat}, {"minlon", minLon}, {"maxlat", maxLat}, {"maxlon", maxLon}}},
            {"nodes", nodes},
            {"geometry", geometry},
            {"tags", tags}};
}

Reply badQuery(const std::string& why) {
    return {400, "text/html; charset=utf-8",
            "<!DOCTYPE html>\n<html><head><title>OSM3S Response</title></head><body><p><strong style=\"color:#FF0000\">"
            "Error</strong>: " + why + "</p></body></html>\n"};
}

// Ways within the query's (south,west,north,east) box.
Reply interpret(const ServiceRequest& req) {
    const std::string query = req.param("data");
    static const std::regex kBox(R"(\((-?[0-9.]+),(-?[0-9.]+),(-?[0-9.]+),(-?[0-9.]+)\))");
    std::smatch m;
    if (query.rfind("[out:json]", 0) != 0 || !std::regex_search(query, m, kBox)) return badQuery("line 1: parse error");
    const auto south = parseDouble(m[1].str()), west = parseDouble(m[2].str()), north = parseDouble(m[3].str()),
               east = parseDouble(m[4].str());
    if (!south || !west || !north || !east) return badQuery("line 1: parse error: bad bounding box");
    const bool bridges = query.find("way[\"bridge\"") != std::string::npos;
    const bool roads = query.find("way[\"highway\"") != std::string::npos;
    ordered_json elements = ordered_json::array();
    for (const OsmWay& w : demoWays()) {
        if (!asked(w, bridges, roads)) continue;
        const ordered_json e = element(w);
        const auto& b = e["bounds"];
        if (b["maxlat"].get<double>() < *south || b["minlat"].get<double>() > *north ||
            b["maxlon"].get<double>() < *west || b["minlon"].get<double>() > *east)
            continue;
        elements.push_back(e);
    }
    const ordered_json answer = {
        {"version", 0.6},
        {"generator", "Overpass API 0.7.62.1 084b4234"},
        {"osm3s",
         {{"timestamp_osm_base", "2026-11-30T12:00:00Z"},
          {"copyright", "The data included in this document is from www.openstreetmap.org. The data is made available "
                        "under ODbL."}}},
        {"elements", elements}};
    return {200, "application/json", answer.dump(1)};
}

}  // namespace

// Overpass: /api/interpreter?data=<query>.
ServiceFamily overpassFamily() {
    ServiceFamily f;
    f.name = "overpass";
    f.title = "Overpass API";
    f.pathPatterns = {"^/api/interpreter/?$"};
    f.handler = interpret;
    return f;
}

}  // namespace kl::geoportal
