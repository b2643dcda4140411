#pragma once
// The add-on's handle on the host's function table, handed in at the
// environment check. Everything that calls the host goes through host().
#include <cstdint>
#include <optional>

#include "host/sdk/kl_host_api.h"

namespace kl {

// The table the host handed in; nullptr before the environment check.
const KlHostFunctions* host();
void setHost(const KlHostFunctions* table);

// The host's modal alert: the button pressed (0: closed without one);
// nothing when there is no host, its table predates alerts, or it could not
// show this one - the caller then says it another way (the report).
std::optional<int32_t> hostAlert(int32_t kind, const char* title, const char* text, const char* button1,
                                 const char* button2);

}  // namespace kl
