#include "tools/import/project_drawing.h"

#include "placement/face_triangulation.h"

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
        case KL_ELEM_SLAB: return "slab";
        case KL_ELEM_MORPH: return "morph";
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

void addFace(std::vector<DxfEntity>& out, const std::string& layer, const placement::Ring3& corners) {
    DxfEntity d{DxfEntity::Kind::Face, layer, {}, false, {}, 1.0};
    for (const auto& p : corners) {
        d.points.push_back({p.x, p.y});
        d.heights.push_back(p.z);
    }
    out.push_back(std::move(d));
}

// A polygon of three or four corners is one 3D face; a larger one, or one
// with holes, is cut into triangles.
void addPolygon(std::vector<DxfEntity>& out, const std::string& layer, const placement::Ring3& outline,
                const std::vector<placement::Ring3>& holes) {
    if (outline.size() < 3) return;
    if (holes.empty() && outline.size() <= 4) return addFace(out, layer, outline);
    placement::Ring3 all = outline;
    for (const auto& h : holes) all.insert(all.end(), h.begin(), h.end());
    for (const auto& t : placement::triangulateFace(outline, holes, nullptr))
        addFace(out, layer, {all[static_cast<size_t>(t[0])], all[static_cast<size_t>(t[1])], all[static_cast<size_t>(t[2])]});
}

void addMorph(std::vector<DxfEntity>& out, const std::string& layer, const host::MorphBody& body) {
    for (const auto& poly : body.polygons) {
        std::vector<placement::Ring3> contours(1);
        for (int32_t s : poly.edges) {
            if (s == 0) {
                contours.emplace_back();
                continue;
            }
            const auto& edge = body.edges[static_cast<size_t>(std::abs(s) - 1)];
            const KlCoord3& v = body.vertices[static_cast<size_t>((s > 0 ? edge.first : edge.second) - 1)];
            contours.back().push_back({v.x, v.y, v.z});
        }
        addPolygon(out, layer, contours[0], {contours.begin() + 1, contours.end()});
    }
}

// The slab's outline at its bottom and its top, and one face per side.
void addSlab(std::vector<DxfEntity>& out, const std::string& layer, const host::ElementRecord& rec) {
    const double top = rec.element.level, bottom = top - rec.element.thickness;
    std::vector<geo::Point2d> ring;
    const size_t end = rec.ringEnds.empty() ? rec.coords.size() : static_cast<size_t>(rec.ringEnds[0]);
    for (size_t i = 0; i < end && i < rec.coords.size(); ++i) ring.push_back({rec.coords[i].x, rec.coords[i].y});
    if (ring.size() > 1 && ring.front() == ring.back()) ring.pop_back();
    if (ring.size() < 3) return;
    placement::Ring3 low, high;
    for (const auto& p : ring) {
        low.push_back({p.x, p.y, bottom});
        high.push_back({p.x, p.y, top});
    }
    addPolygon(out, layer, placement::Ring3(low.rbegin(), low.rend()), {});
    addPolygon(out, layer, high, {});
    for (size_t i = 0; i < ring.size(); ++i) {
        const size_t j = (i + 1) % ring.size();
        addFace(out, layer, {low[i], low[j], high[j], high[i]});
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
            case KL_ELEM_SLAB: addSlab(out, layer, *rec); break;
            case KL_ELEM_MORPH:
                if (rec->body) addMorph(out, layer, *rec->body);
                break;
            default: break;
        }
    }
    return out;
}

}  // namespace kl::tools
