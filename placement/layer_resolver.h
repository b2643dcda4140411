#pragma once
#include <map>
#include <string>
#include <string_view>

#include "geodata/data_type.h"
#include "shell/settings/settings.h"

namespace kl::placement {

inline constexpr int32_t kInvalidLayer = 0;

// Host layer index of a layer name: the first layer attribute whose name is
// byte-for-byte equal, else a new layer of that name. kInvalidLayer when it
// can neither be found nor created.
int32_t findOrCreateLayer(std::string_view name);

// The error that rolls an import back when a type's layer cannot be had.
std::string missingLayerMessage(geo::DataType type);

// Layers of one import command, per data type, following the user's mapping.
class LayerResolver {
public:
    explicit LayerResolver(const settings::Settings& settings) : settings_(settings) {}
    int32_t layerForType(geo::DataType type);

private:
    const settings::Settings& settings_;
    std::map<geo::DataType, int32_t> cache_;
};

}  // namespace kl::placement
