#include "cleanup/drawing_reader.h"

#include <optional>
#include <utility>
#include <vector>

#include "base/host_access.h"

namespace kl::cleanup {
namespace {

void collectGuid(void* ctx, const KlGuid* guid, int32_t) { static_cast<std::vector<KlGuid>*>(ctx)->push_back(*guid); }

// Nothing when the host could not give the selection.
std::optional<std::vector<KlGuid>> selection() {
    std::vector<KlGuid> guids;
    if (host()->GetSelection(collectGuid, &guids) != KL_NOERROR) return std::nullopt;
    return guids;
}

std::vector<KlGuid> allOfType(int32_t type) {
    std::vector<KlGuid> guids;
    if (host()->ListElements(type, KL_FILTER_IN_MODEL, collectGuid, &guids) != KL_NOERROR) guids.clear();
    return guids;
}

// The memo is the host's until disposed, whatever happens in between.
class HostMemo {
public:
    HostMemo() = default;
    ~HostMemo() { host()->DisposeMemo(&memo_); }
    HostMemo(const HostMemo&) = delete;
    HostMemo& operator=(const HostMemo&) = delete;
    KlMemo* operator->() { return &memo_; }
    KlMemo* get() { return &memo_; }

private:
    KlMemo memo_{};
};

bool readElement(const KlGuid& guid, int32_t type, KlElement& e) {
    e = KlElement{};
    e.guid = guid;
    return host()->GetElement(&e) == KL_NOERROR && e.type == type;
}

bool readPolyline(const KlGuid& guid, PolylineRecord& out) {
    KlElement e;
    if (!readElement(guid, KL_ELEM_POLYLINE, e)) return false;
    HostMemo memo;
    if (host()->GetElementMemo(&guid, memo.get(), KL_MEMO_COORDS) != KL_NOERROR) return false;
    if (!memo->coords || memo->nCoords < 2) return false;
    const size_t n = static_cast<size_t>(memo->nCoords);
    out.guid = guid;
    out.layer = e.layer;
    out.vertices.assign(memo->coords, memo->coords + n);
    out.segmentAngles.assign(n - 1, 0.0);
    if (memo->arcs)
        for (int32_t i = 0; i < memo->nArcs; ++i) {
            const KlPolyArc& a = memo->arcs[i];
            if (a.begIndex >= 1 && a.endIndex == a.begIndex + 1 && static_cast<size_t>(a.endIndex) <= n)
                out.segmentAngles[static_cast<size_t>(a.begIndex) - 1] = a.arcAngle;
        }
    return true;
}

bool readText(const KlGuid& guid, TextRecord& out) {
    KlElement e;
    if (!readElement(guid, KL_ELEM_TEXT, e)) return false;
    HostMemo memo;
    if (host()->GetElementMemo(&guid, memo.get(), KL_MEMO_TEXT) != KL_NOERROR || !memo->text) return false;
    out.guid = guid;
    out.layer = e.layer;
    out.location = e.textLoc;
    out.content.assign(memo->text, memo->textBytes);
    return true;
}

template <class Record>
std::vector<Record> readAll(const std::vector<KlGuid>& guids, bool (*read)(const KlGuid&, Record&)) {
    std::vector<Record> records;
    for (const KlGuid& g : guids) {
        Record r;
        if (read(g, r)) records.push_back(std::move(r));
    }
    return records;
}

}  // namespace

Drawing readDrawing() {
    const std::optional<std::vector<KlGuid>> selected = selection();
    const bool fromSelection = selected && !selected->empty();
    Drawing d;
    d.polylines = readAll<PolylineRecord>(fromSelection ? *selected : allOfType(KL_ELEM_POLYLINE), readPolyline);
    d.texts = readAll<TextRecord>(fromSelection ? *selected : allOfType(KL_ELEM_TEXT), readText);
    return d;
}

}  // namespace kl::cleanup
