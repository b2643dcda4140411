#include "cleanup/duplicate_finder.h"

#include <optional>
#include <string>
#include <unordered_set>

#include "cleanup/element_keys.h"

namespace kl::cleanup {
namespace {

// Walks the records in order; a record whose (layer, key) was seen before is
// a duplicate. Records without a key are left alone.
template <class Record, class KeyOf>
int collect(const std::vector<Record>& records, KeyOf keyOf, std::vector<KlGuid>& out) {
    std::unordered_set<std::string> seen;
    seen.reserve(records.size());
    int found = 0;
    for (const Record& r : records) {
        std::optional<std::string> key = keyOf(r);
        if (!key) continue;
        key->insert(0, reinterpret_cast<const char*>(&r.layer), sizeof r.layer);
        if (!seen.insert(std::move(*key)).second) {
            out.push_back(r.guid);
            ++found;
        }
    }
    return found;
}

}  // namespace

DuplicatePlan findDuplicates(const Drawing& drawing) {
    DuplicatePlan plan;
    plan.polylines = collect(drawing.polylines, polylineKey, plan.toDelete);
    plan.texts = collect(drawing.texts, textKey, plan.toDelete);
    return plan;
}

}  // namespace kl::cleanup
