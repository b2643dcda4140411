#include "placement/layer_resolver.h"

#include <string>

#include "placement/attribute_lookup.h"

namespace kl::placement {

int32_t findOrCreateLayer(std::string_view name) {
    return findOrCreateAttribute(KL_ATTR_LAYER, name, [](KlAttribute&) {});
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
