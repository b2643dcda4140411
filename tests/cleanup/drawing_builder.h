#pragma once
// Draws polylines, texts and other elements into the workbench's project
// through the host functions, as an import would, all in one undo step.
#include <functional>
#include <string>
#include <vector>

#include "host/core/workbench.h"

namespace kl::testing {

struct Arc {
    int32_t from;  // 0-based index of the first vertex
    double angle;
};

class DrawingBuilder {
public:
    explicit DrawingBuilder(host::Workbench& wb) : wb_(wb) {}

    KlGuid polyline(std::vector<KlCoord> vertices, std::vector<Arc> arcs = {}, int32_t layer = 1);
    KlGuid text(KlCoord at, const std::string& content, int32_t layer = 1, double sizeMm = 2.5);
    KlGuid hatch(std::vector<KlCoord> ring, int32_t layer = 1);
    int32_t layer(const std::string& name, bool locked = false);

private:
    KlGuid outline(int32_t type, const std::vector<KlCoord>& vertices, const std::vector<Arc>& arcs, int32_t layer);
    KlGuid create(KlElement e, const KlMemoSizes& sizes, const std::function<void(KlMemo&)>& fill);
    host::Workbench& wb_;
};

}  // namespace kl::testing
