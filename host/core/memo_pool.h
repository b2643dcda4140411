#pragma once
// Buffers handed to the add-on through memos. Each memo the host fills gets
// a token (memo.hostPrivate) that owns its buffers until HostDisposeMemo, so
// the number of live tokens tells whether the add-on leaks memos.
#include <cstddef>
#include <memory>
#include <unordered_map>
#include <vector>

#include "host/core/element_store.h"
#include "host/sdk/kl_host_api.h"

namespace kl::host {

struct MemoToken {
    std::vector<KlCoord> coords;
    std::vector<int32_t> ringEnds;
    std::vector<KlPolyArc> arcs;
    std::vector<double> boundaryZ;
    std::vector<KlCoord3> levelPoints;
    std::vector<int32_t> levelEnds;
    std::vector<char> text;  // one extra byte for the terminator
    std::vector<unsigned char> data;
    std::shared_ptr<const MorphBody> body;  // a finished body's snapshot
};

// Points the memo's arrays and counts at the token's buffers, copying nothing;
// the memo's token and body are left as they are.
void pointMemoAt(KlMemo* memo, MemoToken& token);

class MemoPool {
public:
    // Clears memo and gives it a fresh token with buffers of these sizes; a
    // token the memo already holds is reused.
    KlErr allocate(KlMemo* memo, const KlMemoSizes& sizes);
    // Fills memo from a stored element; mask 0 copies everything.
    KlErr fillFrom(KlMemo* memo, const ElementRecord& record, int32_t mask);
    KlErr attachBody(KlMemo* memo, KlBodyRef body, std::shared_ptr<const MorphBody> snapshot);
    KlErr dispose(KlMemo* memo);

    // The token behind a memo the host filled, or nullptr.
    const MemoToken* tokenOf(const KlMemo* memo) const;
    size_t live() const { return tokens_.size(); }

private:
    MemoToken& fresh(KlMemo* memo);
    std::unordered_map<void*, std::unique_ptr<MemoToken>> tokens_;
};

}  // namespace kl::host
