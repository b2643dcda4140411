#include "tools/import/addon_binding.h"

#include "base/host_access.h"

namespace kl::tools {
void bindAddonToHost(const KlHostFunctions* table) { kl::setHost(table); }
}  // namespace kl::tools
