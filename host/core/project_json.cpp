// The project as JSON: what the workbench page and the headless import
// write out, and what the tests compare.
#include "host/core/project.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "host/core/picture_bytes.h"
#include "host/core/mesh_record.h"

namespace kl::host {
namespace {

nlohmann::ordered_json coordsJson(const std::vector<KlCoord>& v) {
    auto a = nlohmann::ordered_json::array();
    for (const auto& c : v) a.push_back({c.x, c.y});
    return a;
}

nlohmann::ordered_json coords3Json(const std::vector<KlCoord3>& v) {
    auto a = nlohmann::ordered_json::array();
    for (const auto& c : v) a.push_back({c.x, c.y, c.z});
    return a;
}

}  // namespace

nlohmann::ordered_json Project::toJson(bool withPictureBytes) const {
    using J = nlohmann::ordered_json;
    J attrs = J::object();
    for (int32_t type = KL_ATTR_LAYER; type < KL_ATTR_PEN; ++type) {
        static const char* names[] = {"", "layers", "fills", "surfaces", "buildingMaterials"};
        J list = J::array();
        for (const auto& a : attributes_.list(type))
            list.push_back({{"index", a.index}, {"name", a.name}, {"rgb", {a.red, a.green, a.blue}},
                            {"fillKind", a.fillKind}, {"flags", a.flags}});
        attrs[names[type]] = std::move(list);
    }
    J elems = J::array();
    for (const auto& [seq, r] : elements_.all()) {
        const KlElement& e = r->element;
        J j = {{"guid", guidToString(e.guid)}, {"type", elementTypeName(e.type)}, {"layer", e.layer},
               {"pen", e.pen}};
        switch (e.type) {
            case KL_ELEM_POLYLINE: {
                j["closed"] = e.closed;
                J arcs = J::array();
                for (const KlPolyArc& a : r->arcs) arcs.push_back({a.begIndex, a.endIndex, a.arcAngle});
                if (!arcs.empty()) j["arcs"] = std::move(arcs);
                break;
            }
            case KL_ELEM_HATCH:
                j["fill"] = e.fillIndex;
                j["fillPen"] = e.fillPen;
                j["backgroundPen"] = e.backgroundPen;
                if (e.hasFillColour) j["fillColour"] = {e.fillRed, e.fillGreen, e.fillBlue};
                break;
            case KL_ELEM_TEXT:
                j["loc"] = {e.textLoc.x, e.textLoc.y};
                j["sizeMm"] = e.textSizeMm;
                j["angle"] = e.textAngleRad;
                j["anchor"] = e.textAnchor;
                j["text"] = r->text;
                break;
            case KL_ELEM_PICTURE:
                j["origin"] = {e.picOrigin.x, e.picOrigin.y};
                j["size"] = {e.picWidth, e.picHeight};
                j["angle"] = e.picAngleRad;
                j["mime"] = std::string(e.picMimeType, strnlen(e.picMimeType, KL_MIME_MAX + 1));
                j["dataBytes"] = r->data.size();
                j["dataHash"] = pictureHash(r->data);
                if (withPictureBytes) j["data"] = base64Encode(r->data);
                break;
            case KL_ELEM_MESH:
                j["level"] = e.level;
                j["skirtLevel"] = e.skirtLevel;
                j["material"] = e.material;
                j["boundaryZ"] = r->boundaryZ;
                j["levelPoints"] = coords3Json(r->levelPoints);
                j["levelEnds"] = r->levelEnds;
                break;
            case KL_ELEM_SLAB:
                j["level"] = e.level;
                j["thickness"] = e.thickness;
                j["material"] = e.material;
                break;
            case KL_ELEM_MORPH:
                j["material"] = e.material;
                if (r->body) {
                    J edges = J::array(), polys = J::array();
                    for (const auto& [a, b] : r->body->edges) edges.push_back({a, b});
                    for (const auto& p : r->body->polygons)
                        polys.push_back({{"edges", p.edges}, {"material", p.material}});
                    j["body"] = {{"vertices", coords3Json(r->body->vertices)}, {"edges", edges}, {"polygons", polys}};
                }
                break;
            default: break;
        }
        if (!r->coords.empty()) {
            j["coords"] = coordsJson(r->coords);
            j["rings"] = r->ringEnds;
        }
        j["info"] = r->infoString;
        elems.push_back(std::move(j));
    }
    const KlGeoLocation& g = geo_;
    J geo = {{"hasLocation", g.hasLocation}, {"latitude", g.latitude}, {"longitude", g.longitude},
             {"altitude", g.altitude}, {"surveyEasting", g.surveyEasting}, {"surveyNorthing", g.surveyNorthing},
             {"surveyElevation", g.surveyElevation}, {"scaleFactor", g.scaleFactor}, {"crsName", std::string(g.crsName)},
             {"crsDescription", std::string(g.crsDescription)}, {"geodeticDatum", std::string(g.geodeticDatum)},
             {"verticalDatum", std::string(g.verticalDatum)}, {"mapProjection", std::string(g.mapProjection)}, {"mapZone", std::string(g.mapZone)}};
    return {{"attributes", std::move(attrs)}, {"elements", std::move(elems)}, {"geo", std::move(geo)}};
}

std::string Project::serialise(bool withPictureBytes) const {
    return toJson(withPictureBytes).dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace kl::host
