#pragma once
// The demo county's own services (utilities, base map, local plans) are not
// in the add-on's compiled-in registries; an overlay folder that the add-on
// reads (KL_REGISTRY_DIR) names them at this geoportal's address.
#include <filesystem>
#include <string>

namespace kl::geoportal {

// Writes the overlay rows for a geoportal listening at base. Returns a Polish
// error text, empty on success.
std::string writeDemoRegistry(const std::string& base, const std::filesystem::path& registryDir);

}  // namespace kl::geoportal
