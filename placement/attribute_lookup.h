#pragma once
// Host attributes found by name or made on first use, shared by layers and
// surfaces so repeated imports reuse what the first one made.
#include <cstdint>
#include <functional>
#include <string_view>

#include "host/sdk/kl_host_api.h"

namespace kl::placement {

// Index of the first attribute of the type, or 0 when there is none.
int32_t firstAttribute(int32_t type);

// The first attribute of the type whose name is byte-for-byte equal to the
// name cut to the host's length (on a UTF-8 boundary); else a new one, which
// fill() completes. 0 when it can neither be found nor made.
int32_t findOrCreateAttribute(int32_t type, std::string_view name, const std::function<void(KlAttribute&)>& fill);

}  // namespace kl::placement
