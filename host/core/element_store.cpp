#include "host/core/element_store.h"

namespace kl::host {

void ElementStore::put(uint64_t seq, ElementPtr record) {
    seqByGuid_[record->element.guid] = seq;
    bySeq_[seq] = std::move(record);
}

void ElementStore::erase(uint64_t seq) {
    auto it = bySeq_.find(seq);
    if (it == bySeq_.end()) return;
    seqByGuid_.erase(it->second->element.guid);
    bySeq_.erase(it);
}

std::optional<uint64_t> ElementStore::seqOf(const KlGuid& g) const {
    auto it = seqByGuid_.find(g);
    if (it == seqByGuid_.end()) return std::nullopt;
    return it->second;
}

const ElementRecord* ElementStore::find(const KlGuid& g) const {
    auto seq = seqOf(g);
    return seq ? bySeq_.at(*seq).get() : nullptr;
}

ElementPtr ElementStore::at(uint64_t seq) const {
    auto it = bySeq_.find(seq);
    return it == bySeq_.end() ? nullptr : it->second;
}

const char* elementTypeName(int32_t type) {
    switch (type) {
        case KL_ELEM_POLYLINE: return "polyline";
        case KL_ELEM_HATCH: return "hatch";
        case KL_ELEM_TEXT: return "text";
        case KL_ELEM_PICTURE: return "picture";
        case KL_ELEM_MESH: return "mesh";
        case KL_ELEM_SLAB: return "slab";
        case KL_ELEM_MORPH: return "morph";
        default: return "unknown";
    }
}

}  // namespace kl::host
