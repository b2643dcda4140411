#include "tools/import/batch_import.h"

#include <chrono>
#include <cstdlib>

#include "host/core/workbench.h"
#include "import/import_controller.h"
#include "shell/main_thread.h"
#include "shell/settings/atomic_file.h"
#include "shell/worker_registry.h"
#include "tools/import/addon_binding.h"
#include "placement/face_triangulation.h"
#include "tools/import/dxf_writer.h"

namespace kl::tools {
namespace {

using nlohmann::json;

// Paper size of texts (millimetres) to drawing metres, at 1:500.
constexpr double kTextScale = 0.5;

const char* kindName(int32_t type) {
    switch (type) {
        case KL_ELEM_POLYLINE: return "polyline";
        case KL_ELEM_HATCH: return "fill";
        case KL_ELEM_TEXT: return "text";
        case KL_ELEM_SLAB: return "slab";
        case KL_ELEM_MORPH: return "morph";
        default: return "other";
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

std::vector<DxfEntity> entitiesOf(const host::Project& project, std::map<std::string, int>& elements) {
    std::map<int32_t, std::string> layers;
    for (const auto& a : project.attributes().list(KL_ATTR_LAYER)) layers[a.index] = a.name;
    std::vector<DxfEntity> out;
    for (const auto& [seq, rec] : project.elements().all()) {
        const KlElement& e = rec->element;
        const std::string& layer = layers[e.layer];
        ++elements[layer + " " + kindName(e.type)];
        if (e.type == KL_ELEM_TEXT) {
            out.push_back({DxfEntity::Kind::Text, layer, {{e.textLoc.x, e.textLoc.y}}, false, rec->text,
                           e.textSizeMm * kTextScale});
            continue;
        }
        if (e.type == KL_ELEM_MORPH && rec->body) {
            addMorph(out, layer, *rec->body);
            continue;
        }
        if (e.type == KL_ELEM_SLAB) {
            addSlab(out, layer, *rec);
            continue;
        }
        if (e.type != KL_ELEM_POLYLINE && e.type != KL_ELEM_HATCH) continue;
        std::size_t begin = 0;
        std::vector<int32_t> ends = rec->ringEnds;
        if (ends.empty()) ends.push_back(static_cast<int32_t>(rec->coords.size()));
        for (int32_t end : ends) {
            DxfEntity d{DxfEntity::Kind::Polyline, layer, {}, e.type == KL_ELEM_HATCH || e.closed != 0, {}, 1.0};
            for (std::size_t i = begin; i < static_cast<std::size_t>(end) && i < rec->coords.size(); ++i)
                d.points.push_back({rec->coords[i].x, rec->coords[i].y});
            begin = static_cast<std::size_t>(end);
            if (d.points.size() >= 2) out.push_back(std::move(d));
        }
    }
    return out;
}

class Session {
public:
    Session() {
        bindAddonToHost(&host::Workbench::hostTable());
        controller_.setPageLink({[this](const std::string& type, json m) {
                                     m["type"] = type;
                                     pushed_.push_back(std::move(m));
                                 },
                                 [] { return true; },
                                 [](std::function<void()> task) { return postToMain(std::move(task)); }});
        controller_.registerHandlers(bridge_);
        bridge_.setSender([this](const std::string& text) { pushed_.push_back(json::parse(text)); });
    }
    ~Session() {
        while (WorkerRegistry::instance().running() > 0) wb_.executor().runFor(std::chrono::milliseconds(50));
        bindAddonToHost(nullptr);
    }

    // Sends a message and runs the main thread until one of the awaited types arrives.
    json exchange(const json& message, std::initializer_list<const char*> awaited, int timeoutSeconds) {
        pushed_.clear();
        bridge_.onMessage(message.dump());
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
        for (std::size_t seen = 0;;) {
            for (; seen < pushed_.size(); ++seen)
                for (const char* type : awaited)
                    if (pushed_[seen].value("type", "") == type) return pushed_[seen];
            if (std::chrono::steady_clock::now() > end) return {{"type", "error"}, {"msg", "Przekroczono czas oczekiwania."}};
            wb_.executor().runFor(std::chrono::milliseconds(50));
        }
    }
    // Runs the main thread until the terrain height under the origin is in.
    void awaitOriginHeight(int timeoutSeconds) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
        while (controller_.heightSamplePending() && std::chrono::steady_clock::now() < end)
            wb_.executor().runFor(std::chrono::milliseconds(50));
    }
    host::Workbench& workbench() { return wb_; }

private:
    host::Workbench wb_;
    import::ImportController controller_{settings::settingsFilePath(), [] { return &host::Workbench::hostTable(); },
                                         settings::configuredServiceHosts()};
    Bridge bridge_;
    std::vector<json> pushed_;
};

}  // namespace

BatchResult runBatchImport(const BatchOptions& o) {
    BatchResult result;
    Session s;
    const json origin = s.exchange({{"type", "setOrigin"}, {"lat", (o.south + o.north) / 2}, {"lon", (o.west + o.east) / 2}},
                                   {"originSet", "error"}, 10);
    if (origin.value("type", "") != "originSet") {
        result.message = origin.value("msg", "");
        return result;
    }
    const json fetched = s.exchange(
        {{"type", "fetch"}, {"bboxWgs84", {o.west, o.south, o.east, o.north}}, {"layers", o.layers}},
        {"fetchDone", "error", "cancelled"}, o.timeoutSeconds);
    if (fetched.value("type", "") != "fetchDone") {
        result.message = fetched.value("msg", "Anulowano");
        return result;
    }
    s.awaitOriginHeight(o.timeoutSeconds);
    const json placed = s.exchange({{"type", "place"}}, {"placeDone", "error"}, o.timeoutSeconds);
    if (placed.value("type", "") != "placeDone") {
        result.message = placed.value("msg", "");
        return result;
    }
    result.placed = placed["counts"].get<std::map<std::string, int>>();
    result.message = placed.value("warning", "");

    const host::Project& project = s.workbench().project();
    const std::vector<DxfEntity> entities = entitiesOf(project, result.elements);
    result.dxfEntities = entities.size();
    const auto dxfPath = o.dxfOut.empty() ? std::filesystem::path(o.jsonOut).replace_extension(".dxf") : o.dxfOut;
    const settings::FileWriteResult jsonWrite = settings::replaceFileAtomically(o.jsonOut, project.serialise());
    const settings::FileWriteResult dxfWrite =
        jsonWrite.ok ? settings::replaceFileAtomically(dxfPath, dxfDocument(entities)) : settings::FileWriteResult{};
    if (!jsonWrite.ok || !dxfWrite.ok) {
        result.message = !jsonWrite.ok ? jsonWrite.message : dxfWrite.message;
        return result;
    }
    result.ok = true;
    return result;
}

}  // namespace kl::tools
