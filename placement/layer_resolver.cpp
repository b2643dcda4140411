#include "placement/layer_resolver.h"

#include <cstring>
#include <string>

#include "shell/platform/host_access.h"

namespace kl::placement {

int32_t findOrCreateLayer(std::string_view wanted) {
    // A name longer than the host allows is found again under the shortened
    // name it was created with, so repeated imports reuse one layer.
    const std::string name = settings::layerNameForHost(wanted);
    struct Search {
        std::string_view name;
        int32_t found = kInvalidLayer;
    } search{name};
    host()->ListAttributes(
        KL_ATTR_LAYER,
        [](void* ctx, const KlAttribute* a) noexcept {
            auto* s = static_cast<Search*>(ctx);
            if (s->found == kInvalidLayer && s->name == std::string_view(a->name)) s->found = a->index;
        },
        &search);
    if (search.found != kInvalidLayer) return search.found;

    KlAttribute attr;
    std::memset(&attr, 0, sizeof attr);
    attr.type = KL_ATTR_LAYER;
    std::memcpy(attr.name, name.data(), name.size());
    if (host()->CreateAttribute(&attr) != KL_NOERROR) return kInvalidLayer;
    return attr.index;
}

int32_t LayerResolver::layerForType(geo::DataType type) {
    if (auto it = cache_.find(type); it != cache_.end()) return it->second;
    std::string name;
    if (auto it = settings_.layers.find(type); it != settings_.layers.end()) name = it->second;
    if (name.empty()) name = std::string(settings::defaultLayerName(type));
    const int32_t index = findOrCreateLayer(name);
    if (index != kInvalidLayer) cache_[type] = index;
    return index;
}

std::string missingLayerMessage(geo::DataType type) {
    return "Nie mozna utworzyc/odnalezc warstwy dla typu: " + std::string(geo::dataTypeKey(type));
}

}  // namespace kl::placement
