// The two OpenStreetMap geocoders over the demo site's places: Nominatim's
// /search (format=json) and Photon's /api/, answering in the form of the
// real services (Nominatim's coordinates and bounding box as texts, Photon's
// GeoJSON features with the address in the properties).
#include "tools/geoportal/demo_addresses.h"
#include "tools/geoportal/service_family.h"
#include "tools/geoportal/text_util.h"

#include <nlohmann/json.hpp>

namespace kl::geoportal {

namespace {

using nlohmann::json;

constexpr const char* kLicence = "Data © OpenStreetMap contributors, ODbL 1.0. http://osm.org/copyright";
constexpr double kBoxHalfDegrees = 0.0005;

std::string osmTypeName(char type) { return type == 'N' ? "node" : type == 'R' ? "relation" : "way"; }

Reply jsonAnswer(const json& body) { return {200, "application/json; charset=utf-8", body.dump()}; }

Reply badRequest(std::string_view message) {
    return {400, "application/json; charset=utf-8", json{{"error", {{"code", 400}, {"message", message}}}}.dump()};
}

long long limitParam(const ServiceRequest& req, long long fallback) {
    if (!req.has("limit")) return fallback;
    const auto v = parseInt(req.param("limit"));
    return v && *v > 0 ? *v : -1;
}

json nominatimPlace(const DemoAddress& a) {
    json address = json::object();
    if (!a.name.empty()) address[a.osmValue] = a.name;
    if (!a.housenumber.empty()) address["house_number"] = a.housenumber;
    address["road"] = a.street.empty() ? a.name : a.street;
    address["town"] = demo::kTownName;
    address["county"] = demo::kCountyName;
    address["state"] = demo::kStateName;
    address["postcode"] = demo::kPostcode;
    address["country"] = demo::kCountryName;
    address["country_code"] = "pl";
    return {{"place_id", formatInt(a.osmId * 3 + 7)},
            {"licence", kLicence},
            {"osm_type", osmTypeName(a.osmType)},
            {"osm_id", formatInt(a.osmId)},
            {"boundingbox",
             {formatFixed(a.lat - kBoxHalfDegrees, 7), formatFixed(a.lat + kBoxHalfDegrees, 7),
              formatFixed(a.lon - kBoxHalfDegrees, 7), formatFixed(a.lon + kBoxHalfDegrees, 7)}},
            {"lat", formatFixed(a.lat, 7)},
            {"lon", formatFixed(a.lon, 7)},
            {"display_name", displayName(a)},
            {"place_rank", a.osmKey == "highway" ? 26 : 30},
            {"category", a.osmKey},
            {"type", a.osmValue},
            {"importance", a.osmKey == "place" ? 0.4 : 0.2},
            {"address", std::move(address)}};
}

// Nominatim: q, limit (default 10), countrycodes; format json only.
Reply nominatimSearch(const ServiceRequest& req) {
    if (!req.has("q")) return badRequest("Nothing to search for.");
    if (!iequals(req.param("format"), "json")) return badRequest("Parameter 'format' must be json.");
    const long long limit = limitParam(req, 10);
    if (limit < 1) return badRequest("Integer parameter 'limit' must be above 0.");
    json answer = json::array();
    const std::string countries = toLower(req.param("countrycodes"));
    if (!countries.empty() && countries.find("pl") == std::string::npos) return jsonAnswer(answer);
    for (const DemoAddress* a : findDemoAddresses(req.param("q"))) {
        if (static_cast<long long>(answer.size()) == limit) break;
        answer.push_back(nominatimPlace(*a));
    }
    return jsonAnswer(answer);
}

json photonFeature(const DemoAddress& a) {
    json properties = {{"osm_type", std::string(1, a.osmType)}, {"osm_id", a.osmId},
                       {"osm_key", a.osmKey},                   {"osm_value", a.osmValue},
                       {"type", a.housenumber.empty() ? (a.osmKey == "highway" ? "street" : "other") : "house"}};
    if (!a.name.empty()) properties["name"] = a.name;
    if (!a.street.empty()) properties["street"] = a.street;
    if (!a.housenumber.empty()) properties["housenumber"] = a.housenumber;
    properties["postcode"] = demo::kPostcode;
    properties["city"] = demo::kTownName;
    properties["county"] = demo::kCountyName;
    properties["state"] = demo::kStateName;
    properties["country"] = demo::kCountryName;
    properties["countrycode"] = "PL";
    return {{"type", "Feature"},
            {"properties", std::move(properties)},
            {"geometry", {{"type", "Point"}, {"coordinates", {a.lon, a.lat}}}}};
}

// Photon: q, limit (default 15), bbox=minLon,minLat,maxLon,maxLat.
Reply photonSearch(const ServiceRequest& req) {
    const std::string q = req.param("q");
    if (q.empty()) return badRequest("missing search term 'q'");
    const long long limit = limitParam(req, 15);
    if (limit < 1) return badRequest("invalid parameter 'limit'");
    double box[4] = {-180, -90, 180, 90};
    if (req.has("bbox")) {
        const std::string text = req.param("bbox");
        const auto parts = split(text, ',');
        if (parts.size() != 4) return badRequest("invalid parameter 'bbox'");
        for (std::size_t i = 0; i < 4; ++i) {
            const auto v = parseDouble(parts[i]);
            if (!v) return badRequest("invalid parameter 'bbox'");
            box[i] = *v;
        }
    }
    json features = json::array();
    for (const DemoAddress* a : findDemoAddresses(q)) {
        if (static_cast<long long>(features.size()) == limit) break;
        if (a->lon < box[0] || a->lat < box[1] || a->lon > box[2] || a->lat > box[3]) continue;
        features.push_back(photonFeature(*a));
    }
    return jsonAnswer({{"type", "FeatureCollection"}, {"features", std::move(features)}});
}

ServiceFamily geocoder(std::string name, std::string pathPattern, std::function<Reply(const ServiceRequest&)> answer) {
    ServiceFamily f;
    f.title = name;
    f.name = std::move(name);
    f.pathPatterns = {std::move(pathPattern)};
    f.handler = std::move(answer);
    return f;
}

}  // namespace

ServiceFamily nominatimFamily() { return geocoder("Nominatim", "^/search/?$", nominatimSearch); }

ServiceFamily photonFamily() { return geocoder("Photon", "^/api/?$", photonSearch); }

}  // namespace kl::geoportal
