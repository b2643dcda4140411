#pragma once
// Hands the workbench's host table to the add-on code in this process. Kept
// apart from the workbench headers, whose namespace kl::host would hide the
// add-on's kl::host() accessor.
#include "host/sdk/kl_host_api.h"

namespace kl::tools {
void bindAddonToHost(const KlHostFunctions* table);
}
