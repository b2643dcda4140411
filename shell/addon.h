#pragma once
// The add-on's answers to the host: menu commands and the quit event.
#include <cstdint>

#include "host/sdk/kl_host_api.h"

namespace kl::shell {

inline constexpr int32_t kAddonStringsId = 32000;
inline constexpr const char* kMakerAddress = "https://ordvik.pl/";

// Acts on menu 32500 only: 1 map palette, 2 cloud palette, 3 duplicate
// cleanup, 4 the maker's web site. Always answers no error.
KlErr handleMenu(int32_t menuResId, int32_t itemIndex) noexcept;

// Project events of the add-on. On application quit it stops the workers and
// tears both palettes down, once however often it is called; other events
// are ignored. Every palette subscribes it when it is created.
KlErr onProjectEvent(int32_t eventValue) noexcept;

}  // namespace kl::shell

extern "C" {
__attribute__((visibility("default"))) int32_t CheckEnvironment(const KlHostFunctions* host, KlEnvironment* env) noexcept;
__attribute__((visibility("default"))) KlErr RegisterInterface(void) noexcept;
__attribute__((visibility("default"))) KlErr Initialize(void) noexcept;
__attribute__((visibility("default"))) KlErr FreeData(void) noexcept;
}
