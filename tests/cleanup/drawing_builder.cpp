#include "tests/cleanup/drawing_builder.h"

#include <cstring>
#include <stdexcept>

namespace kl::testing {
namespace {

template <class Body>
KlErr inStep(host::Workbench& wb, Body body) {
    return wb.undoableCommand("test drawing", [](void* ctx) { return (*static_cast<Body*>(ctx))(); }, &body);
}

}  // namespace

KlGuid DrawingBuilder::create(KlElement e, const KlMemoSizes& sizes, const std::function<void(KlMemo&)>& fill) {
    const KlHostFunctions& h = host::Workbench::hostTable();
    KlMemo memo{};
    if (h.MemoAllocate(&memo, &sizes) != KL_NOERROR) throw std::runtime_error("memo");
    fill(memo);
    const KlErr err = inStep(wb_, [&] { return h.CreateElement(&e, &memo); });
    h.DisposeMemo(&memo);
    if (err != KL_NOERROR) throw std::runtime_error("element refused: " + std::to_string(err));
    return e.guid;
}

KlGuid DrawingBuilder::outline(int32_t type, const std::vector<KlCoord>& vertices, int32_t layer) {
    KlElement e{};
    e.type = type;
    host::Workbench::hostTable().GetElementDefaults(&e, nullptr);
    e.layer = layer;
    KlMemoSizes sizes{};
    sizes.nCoords = static_cast<int32_t>(vertices.size());
    return create(e, sizes, [&](KlMemo& m) { std::copy(vertices.begin(), vertices.end(), m.coords); });
}

KlGuid DrawingBuilder::text(KlCoord at, const std::string& content, double sizeMm) {
    KlElement e{};
    e.type = KL_ELEM_TEXT;
    host::Workbench::hostTable().GetElementDefaults(&e, nullptr);
    e.textLoc = at;
    e.textSizeMm = sizeMm;
    KlMemoSizes sizes{};
    sizes.textBytes = content.size();
    return create(e, sizes, [&](KlMemo& m) { std::memcpy(m.text, content.data(), content.size()); });
}

int32_t DrawingBuilder::layer(const std::string& name, bool locked) {
    KlAttribute a{};
    a.type = KL_ATTR_LAYER;
    std::strncpy(a.name, name.c_str(), KL_NAME_MAX);
    a.flags = locked ? 2 : 0;
    if (inStep(wb_, [&] { return host::Workbench::hostTable().CreateAttribute(&a); }) != KL_NOERROR)
        throw std::runtime_error("layer");
    return a.index;
}

}  // namespace kl::testing
