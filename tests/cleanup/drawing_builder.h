#pragma once
// Draws polylines, texts, hatches and layers into the workbench's project
// through the host functions, as an import would, each in an undo step.
#include <functional>
#include <string>
#include <vector>

#include "host/core/workbench.h"

namespace kl::testing {

class DrawingBuilder {
public:
    explicit DrawingBuilder(host::Workbench& wb) : wb_(wb) {}

    KlGuid polyline(const std::vector<KlCoord>& vertices, int32_t layer = 1) {
        return outline(KL_ELEM_POLYLINE, vertices, layer);
    }
    KlGuid hatch(const std::vector<KlCoord>& ring) { return outline(KL_ELEM_HATCH, ring, 1); }
    KlGuid text(KlCoord at, const std::string& content, double sizeMm = 2.5);
    int32_t layer(const std::string& name, bool locked = false);

private:
    KlGuid outline(int32_t type, const std::vector<KlCoord>& vertices, int32_t layer);
    KlGuid create(KlElement e, const KlMemoSizes& sizes, const std::function<void(KlMemo&)>& fill);
    host::Workbench& wb_;
};

}  // namespace kl::testing
