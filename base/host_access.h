#pragma once
// The add-on's handle on the host's function table, handed in at the
// environment check. Everything that calls the host goes through host().
#include "host/sdk/kl_host_api.h"

namespace kl {

// The table the host handed in; nullptr before the environment check.
const KlHostFunctions* host();
void setHost(const KlHostFunctions* table);

}  // namespace kl
