#include "placement/attribute_lookup.h"

#include <cstring>
#include <string>

#include "base/host_access.h"
#include "shell/settings/settings.h"

namespace kl::placement {
namespace {

struct Search {
    std::string_view name;  // empty: take the first
    int32_t found = 0;
};

int32_t find(int32_t type, std::string_view name) {
    Search search{name};
    host()->ListAttributes(
        type,
        [](void* ctx, const KlAttribute* a) noexcept {
            auto* s = static_cast<Search*>(ctx);
            if (s->found == 0 && (s->name.empty() || s->name == std::string_view(a->name))) s->found = a->index;
        },
        &search);
    return search.found;
}

}  // namespace

int32_t firstAttribute(int32_t type) { return find(type, {}); }

int32_t findOrCreateAttribute(int32_t type, std::string_view wanted, const std::function<void(KlAttribute&)>& fill) {
    // A name longer than the host allows is found again under the shortened
    // name it was created with.
    const std::string name = settings::layerNameForHost(wanted);
    if (name.empty()) return 0;
    if (const int32_t found = find(type, name)) return found;
    KlAttribute attr;
    std::memset(&attr, 0, sizeof attr);
    attr.type = type;
    std::memcpy(attr.name, name.data(), name.size());
    fill(attr);
    if (host()->CreateAttribute(&attr) != KL_NOERROR) return 0;
    return attr.index;
}

}  // namespace kl::placement
