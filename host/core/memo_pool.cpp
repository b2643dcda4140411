#include "host/core/memo_pool.h"

#include <algorithm>
#include <cstring>

namespace kl::host {
namespace {

constexpr int64_t kMaxItems = int64_t(1) << 27;
constexpr size_t kMaxBytes = size_t(1) << 31;

template <class T>
T* dataOrNull(std::vector<T>& v) {
    return v.empty() ? nullptr : v.data();
}

}  // namespace

MemoToken& MemoPool::fresh(KlMemo* memo) {
    auto it = tokens_.find(memo->hostPrivate);
    MemoToken* token = nullptr;
    if (it != tokens_.end()) {
        *it->second = MemoToken{};
        token = it->second.get();
    } else {
        auto owned = std::make_unique<MemoToken>();
        token = owned.get();
        tokens_.emplace(token, std::move(owned));
    }
    *memo = KlMemo{};
    memo->hostPrivate = token;
    return *token;
}

void pointMemoAt(KlMemo* memo, MemoToken& t) {
    memo->coords = dataOrNull(t.coords);
    memo->nCoords = static_cast<int32_t>(t.coords.size());
    memo->ringEnds = dataOrNull(t.ringEnds);
    memo->nRings = static_cast<int32_t>(t.ringEnds.size());
    memo->arcs = dataOrNull(t.arcs);
    memo->nArcs = static_cast<int32_t>(t.arcs.size());
    memo->levelPoints = dataOrNull(t.levelPoints);
    memo->nLevelPoints = static_cast<int32_t>(t.levelPoints.size());
    memo->boundaryZ = dataOrNull(t.boundaryZ);
    memo->levelEnds = dataOrNull(t.levelEnds);
    memo->nLevelEnds = static_cast<int32_t>(t.levelEnds.size());
    memo->text = t.text.empty() ? nullptr : t.text.data();
    memo->textBytes = t.text.empty() ? 0 : t.text.size() - 1;
    memo->data = dataOrNull(t.data);
    memo->dataBytes = t.data.size();
}

KlErr MemoPool::allocate(KlMemo* memo, const KlMemoSizes& s) {
    if (!memo) return KL_ERR_BADPARS;
    if (s.nCoords < 0 || s.nRings < 0 || s.nArcs < 0 || s.nLevelPoints < 0 || s.nLevelEnds < 0) return KL_ERR_BADPARS;
    if (s.nCoords > kMaxItems || s.nRings > kMaxItems || s.nArcs > kMaxItems || s.nLevelPoints > kMaxItems ||
        s.nLevelEnds > kMaxItems ||
        s.textBytes >= kMaxBytes || s.dataBytes > kMaxBytes)
        return KL_ERR_MEMFULL;
    MemoToken& t = fresh(memo);
    t.coords.assign(static_cast<size_t>(s.nCoords), KlCoord{});
    t.ringEnds.assign(static_cast<size_t>(s.nRings), 0);
    t.arcs.assign(static_cast<size_t>(s.nArcs), KlPolyArc{});
    t.levelPoints.assign(static_cast<size_t>(s.nLevelPoints), KlCoord3{});
    if (s.withBoundaryZ) t.boundaryZ.assign(static_cast<size_t>(s.nCoords), 0.0);
    t.levelEnds.assign(static_cast<size_t>(s.nLevelEnds), 0);
    if (s.textBytes > 0) t.text.assign(s.textBytes + 1, '\0');
    t.data.assign(s.dataBytes, 0);
    pointMemoAt(memo, t);
    return KL_NOERROR;
}

KlErr MemoPool::fillFrom(KlMemo* memo, const ElementRecord& r, int32_t mask) {
    if (!memo) return KL_ERR_BADPARS;
    MemoToken& t = fresh(memo);
    const bool all = mask == 0;
    if (all || (mask & KL_MEMO_COORDS)) {
        t.coords = r.coords;
        t.ringEnds = r.ringEnds;
        t.arcs = r.arcs;
        t.boundaryZ = r.boundaryZ;
        t.levelPoints = r.levelPoints;
        t.levelEnds = r.levelEnds;
    }
    if ((all || (mask & KL_MEMO_TEXT)) && !r.text.empty()) {
        t.text.assign(r.text.begin(), r.text.end());
        t.text.push_back('\0');
    }
    if (all) {
        t.data = r.data;
        t.body = r.body;
    }
    pointMemoAt(memo, t);
    return KL_NOERROR;
}

KlErr MemoPool::attachBody(KlMemo* memo, KlBodyRef body, std::shared_ptr<const MorphBody> snapshot) {
    if (!memo) return KL_ERR_BADPARS;
    MemoToken& t = fresh(memo);
    t.body = std::move(snapshot);
    pointMemoAt(memo, t);
    memo->body = body;
    return KL_NOERROR;
}

KlErr MemoPool::dispose(KlMemo* memo) {
    if (!memo) return KL_ERR_BADPARS;
    if (memo->hostPrivate == nullptr) {
        // nothing of ours; a memo that was never filled is fine to dispose
        *memo = KlMemo{};
        return KL_NOERROR;
    }
    auto it = tokens_.find(memo->hostPrivate);
    if (it == tokens_.end()) return KL_ERR_BADPARS;  // disposed twice through a copy
    tokens_.erase(it);
    *memo = KlMemo{};
    return KL_NOERROR;
}

const MemoToken* MemoPool::tokenOf(const KlMemo* memo) const {
    if (!memo) return nullptr;
    auto it = tokens_.find(memo->hostPrivate);
    return it == tokens_.end() ? nullptr : it->second.get();
}

}  // namespace kl::host
