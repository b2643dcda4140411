#pragma once
// Hands a host table to the add-on code under test. Kept apart from the
// workbench headers, whose namespace kl::host would hide the add-on's
// kl::host() accessor.
#include "host/sdk/kl_host_api.h"

void bindAddonToHost(const KlHostFunctions* table);
