#include "tests/support/host_binding.h"

#include "base/host_access.h"

void bindAddonToHost(const KlHostFunctions* table) { kl::setHost(table); }
