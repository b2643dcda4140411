#include "tools/import/project_drawing.h"

namespace kl::tools {
namespace {

// Paper size of texts (millimetres) to drawing metres, at 1:500.
constexpr double kTextScale = 0.5;

const char* kindName(int32_t type) {
    switch (type) {
        case KL_ELEM_POLYLINE: return "polyline";
        case KL_ELEM_HATCH: return "fill";
        case KL_ELEM_TEXT: return "text";
        case KL_ELEM_MESH: return "mesh";
        default: return "other";
    }
}

// Rings by their 1-based ends; a record without ends is one ring.
void addRings(const host::ElementRecord& rec, const std::string& layer, bool closed, std::vector<DxfEntity>& out) {
    std::size_t begin = 0;
    std::vector<int32_t> ends = rec.ringEnds;
    if (ends.empty()) ends.push_back(static_cast<int32_t>(rec.coords.size()));
    for (int32_t end : ends) {
        DxfEntity d{DxfEntity::Kind::Polyline, layer, {}, closed, {}, 1.0};
        for (std::size_t i = begin; i < static_cast<std::size_t>(end) && i < rec.coords.size(); ++i)
            d.points.push_back({rec.coords[i].x, rec.coords[i].y});
        begin = static_cast<std::size_t>(end);
        if (d.points.size() >= 2) out.push_back(std::move(d));
    }
}

// Level lines of two points or more; single level points have no DXF line.
void addLevelLines(const host::ElementRecord& rec, const std::string& layer, std::vector<DxfEntity>& out) {
    std::size_t begin = 0;
    for (int32_t end : rec.levelEnds) {
        const auto stop = std::min(static_cast<std::size_t>(end), rec.levelPoints.size());
        if (stop >= begin + 2) {
            DxfEntity d{DxfEntity::Kind::Polyline, layer, {}, false, {}, 1.0, 0.0, rec.levelPoints[begin].z};
            for (std::size_t i = begin; i < stop; ++i) d.points.push_back({rec.levelPoints[i].x, rec.levelPoints[i].y});
            out.push_back(std::move(d));
        }
        begin = static_cast<std::size_t>(end);
    }
}

}  // namespace

std::vector<DxfEntity> drawingOf(const host::Project& project, std::map<std::string, int>& elements) {
    std::map<int32_t, std::string> layers;
    for (const auto& a : project.attributes().list(KL_ATTR_LAYER)) layers[a.index] = a.name;
    std::vector<DxfEntity> out;
    for (const auto& [seq, rec] : project.elements().all()) {
        const KlElement& e = rec->element;
        const std::string& layer = layers[e.layer];
        ++elements[layer + " " + kindName(e.type)];
        switch (e.type) {
            case KL_ELEM_TEXT:
                out.push_back({DxfEntity::Kind::Text, layer, {{e.textLoc.x, e.textLoc.y}}, false, rec->text,
                               e.textSizeMm * kTextScale, e.textAngleRad});
                break;
            case KL_ELEM_POLYLINE: addRings(*rec, layer, e.closed != 0, out); break;
            case KL_ELEM_HATCH: addRings(*rec, layer, true, out); break;
            case KL_ELEM_MESH:
                addRings(*rec, layer, true, out);
                addLevelLines(*rec, layer, out);
                break;
            default: break;
        }
    }
    return out;
}

}  // namespace kl::tools
