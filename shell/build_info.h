#pragma once
#include <string>

namespace kl::shell {

inline constexpr const char* kAddonVersion = "1.8.0";

// Date and time this module was compiled, e.g. "Sep 16 2026 23:36:03".
std::string buildStamp();

}  // namespace kl::shell
