#pragma once
// The elements of the project in creation order. Records are immutable once
// stored, so the undo journal can share them instead of copying.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "host/core/guid.h"
#include "host/core/morph_body.h"
#include "host/sdk/kl_host_api.h"

namespace kl::host {

struct ElementRecord {
    KlElement element{};
    std::vector<KlCoord> coords;
    std::vector<int32_t> ringEnds;
    std::vector<KlPolyArc> arcs;
    std::vector<double> boundaryZ;  // mesh: one height per outline coordinate
    std::vector<KlCoord3> levelPoints;
    std::vector<int32_t> levelEnds;  // mesh: 1-based last level point of each level line
    std::string text;
    std::vector<unsigned char> data;
    std::shared_ptr<const MorphBody> body;
    std::string infoString;
};

using ElementPtr = std::shared_ptr<const ElementRecord>;

class ElementStore {
public:
    // Places the record at `seq` (a new one or the one it had before).
    void put(uint64_t seq, ElementPtr record);
    void erase(uint64_t seq);

    uint64_t takeSeq() { return nextSeq_++; }
    uint64_t nextSeq() const { return nextSeq_; }
    void setNextSeq(uint64_t s) { nextSeq_ = s; }

    std::optional<uint64_t> seqOf(const KlGuid& g) const;
    const ElementRecord* find(const KlGuid& g) const;
    ElementPtr at(uint64_t seq) const;

    const std::map<uint64_t, ElementPtr>& all() const { return bySeq_; }
    size_t size() const { return bySeq_.size(); }

private:
    std::map<uint64_t, ElementPtr> bySeq_;
    std::unordered_map<KlGuid, uint64_t, GuidHash, GuidEqual> seqByGuid_;
    uint64_t nextSeq_ = 1;
};

const char* elementTypeName(int32_t type);

}  // namespace kl::host
