#include "tools/geoportal/crs.h"
#include "tools/geoportal/service_family.h"

#include <nlohmann/json.hpp>

namespace kl::geoportal {
namespace {

using nlohmann::json;

json lonLat(Xy p) {
    const Xy g = fromPl1992(4326, p);
    return json::array({g.x, g.y});
}

json polygonFeatures(std::string_view layerName) {
    json features = json::array();
    const DemoLayer* layer = DemoArea::instance().layer(layerName);
    for (const DemoFeature& f : layer ? layer->features : std::vector<DemoFeature>{}) {
        json rings = json::array();
        for (const auto& ring : f.rings) {
            json points = json::array();
            for (Xy p : ring) points.push_back(lonLat(p));
            rings.push_back(std::move(points));
        }
        features.push_back({{"type", "Feature"}, {"properties", json::object()},
                            {"geometry", {{"type", "Polygon"}, {"coordinates", std::move(rings)}}}});
    }
    return features;
}

json streetFeatures() {
    json features = json::array();
    for (const DemoStreet& s : DemoArea::instance().streets())
        features.push_back({{"type", "Feature"}, {"properties", {{"name", s.name}, {"width", s.width}}},
                            {"geometry", {{"type", "LineString"}, {"coordinates", {lonLat(s.from), lonLat(s.to)}}}}});
    return features;
}

json source(json features) {
    return {{"type", "geojson"}, {"data", {{"type", "FeatureCollection"}, {"features", std::move(features)}}}};
}

// A line as wide on the ground as the street at every zoom: at this latitude
// one metre is about 2^zoom / 48 980 pixels of 512-pixel tiles.
json groundWidth() {
    return json::array({"interpolate", json::array({"exponential", 2}), json::array({"zoom"}), 12,
                        json::array({"*", json::array({"get", "width"}), 0.0836}), 22,
                        json::array({"*", json::array({"get", "width"}), 85.6})});
}

std::string styleJson() {
    const Box f = DemoArea::instance().frame();
    const json centre = lonLat({(f.minX + f.maxX) / 2, (f.minY + f.maxY) / 2});
    const json style = {
        {"version", 8},
        {"name", "Plan demo (Boleslawiec)"},
        {"center", centre},
        {"zoom", 16},
        {"sources",
         {{"landuse", source(polygonFeatures(layer::kParcels))},
          {"roads", source(streetFeatures())},
          {"buildings", source(polygonFeatures(layer::kBuildings))}}},
        {"layers",
         json::array({{{"id", "background"}, {"type", "background"}, {"paint", {{"background-color", "#f2efe9"}}}},
                      {{"id", "landuse"}, {"type", "fill"}, {"source", "landuse"},
                       {"paint", {{"fill-color", "#e3ecd3"}, {"fill-outline-color", "#c9d3b8"}}}},
                      {{"id", "roads"}, {"type", "line"}, {"source", "roads"},
                       {"layout", {{"line-cap", "round"}}},
                       {"paint", {{"line-color", "#ffffff"}, {"line-width", groundWidth()}}}},
                      {{"id", "buildings"}, {"type", "fill"}, {"source", "buildings"},
                       {"paint", {{"fill-color", "#d9d0c9"}, {"fill-outline-color", "#b8aca2"}}}}})},
    };
    return style.dump();
}

}  // namespace

// The vector base map of the map page ("OFM") over the demo site: a MapLibre
// style whose GeoJSON sources hold the site's land use (its parcels), streets
// and buildings, readable from the page's origin.
ServiceFamily baseMapStyleFamily() {
    ServiceFamily f;
    f.name = "ofm";
    f.title = "Styl mapy bazowej";
    f.pathPatterns = {R"(^/styles/liberty$)"};
    f.handler = [](const ServiceRequest&) {
        static const std::string style = styleJson();
        Reply r{200, "application/json; charset=UTF-8", style};
        r.anyOrigin = true;
        return r;
    };
    return f;
}

}  // namespace kl::geoportal
