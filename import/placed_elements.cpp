#include "import/placed_elements.h"

#include <algorithm>

#include "base/entry_barrier.h"

namespace kl::import {
namespace {

std::string keyOf(const KlGuid& guid) { return std::string(reinterpret_cast<const char*>(guid.w), sizeof guid.w); }

std::vector<KlGuid> allElements(const KlHostFunctions* host) {
    std::vector<KlGuid> found;
    if (!host || !host->ListElements) return found;
    host->ListElements(
        0, 0,
        [](void* ctx, const KlGuid* guid, int32_t) noexcept {
            if (!guid) return;
            platform::guarded("placed elements", [ctx, guid] { static_cast<std::vector<KlGuid>*>(ctx)->push_back(*guid); });
        },
        &found);
    return found;
}

}  // namespace

void PlacedElements::before(const KlHostFunctions* host) {
    forget();
    for (const KlGuid& g : allElements(host)) existing_.push_back(keyOf(g));
    std::sort(existing_.begin(), existing_.end());
}

void PlacedElements::after(const KlHostFunctions* host) {
    added_.clear();
    for (const KlGuid& g : allElements(host))
        if (!std::binary_search(existing_.begin(), existing_.end(), keyOf(g))) added_.push_back(g);
    existing_.clear();
}

void PlacedElements::forget() {
    existing_.clear();
    added_.clear();
}

bool PlacedElements::inProject(const KlHostFunctions* host) const {
    if (!host || !host->GetElement) return false;
    return std::any_of(added_.begin(), added_.end(), [host](const KlGuid& guid) {
        KlElement element{};
        element.guid = guid;
        return host->GetElement(&element) == KL_NOERROR;
    });
}

}  // namespace kl::import
