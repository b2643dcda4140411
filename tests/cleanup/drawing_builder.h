#pragma once
// Draws polylines, texts, hatches and layers into the workbench's project
// through the host functions, as an import would, each in an undo step.
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/core/workbench.h"

namespace kl::testing {

class DrawingBuilder {
public:
    explicit DrawingBuilder(host::Workbench& wb) : wb_(wb) {}

    KlGuid polyline(const std::vector<KlCoord>& vertices, int32_t layer = 1) {
        return add(KL_ELEM_POLYLINE, vertices, layer);
    }
    KlGuid hatch(const std::vector<KlCoord>& ring) { return add(KL_ELEM_HATCH, ring, 1); }
    KlGuid text(KlCoord at, const std::string& content, double sizeMm = 2.5) {
        return add(KL_ELEM_TEXT, {at}, 1, content, sizeMm);
    }
    int32_t layer(const std::string& name, bool locked = false) {
        KlAttribute a{};
        a.type = KL_ATTR_LAYER;
        std::strncpy(a.name, name.c_str(), KL_NAME_MAX);
        a.flags = locked ? 2 : 0;
        step([&] { return host::Workbench::hostTable().CreateAttribute(&a); });
        return a.index;
    }

private:
    // A text stands at its one point; other elements run through theirs.
    KlGuid add(int32_t type, const std::vector<KlCoord>& points, int32_t layer, const std::string& text = "",
               double sizeMm = 0) {
        const KlHostFunctions& h = host::Workbench::hostTable();
        KlElement e{};
        e.type = type;
        h.GetElementDefaults(&e, nullptr);
        e.layer = layer;
        KlMemoSizes sizes{};
        if (type == KL_ELEM_TEXT) {
            e.textLoc = points.front();
            e.textSizeMm = sizeMm;
            sizes.textBytes = text.size();
        } else {
            sizes.nCoords = static_cast<int32_t>(points.size());
        }
        KlMemo memo{};
        if (h.MemoAllocate(&memo, &sizes) != KL_NOERROR) throw std::runtime_error("memo");
        std::copy_n(points.begin(), sizes.nCoords, memo.coords);
        std::copy(text.begin(), text.end(), memo.text);
        step([&] { return h.CreateElement(&e, &memo); });
        h.DisposeMemo(&memo);
        return e.guid;
    }
    template <class Body>
    void step(Body body) {
        const auto run = [](void* ctx) { return (*static_cast<Body*>(ctx))(); };
        const KlErr err = wb_.undoableCommand("test drawing", run, &body);
        if (err != KL_NOERROR) throw std::runtime_error("refused: " + std::to_string(err));
    }
    host::Workbench& wb_;
};

}  // namespace kl::testing
