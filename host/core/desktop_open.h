#pragma once
#include <string>

namespace kl::host {

// Hands an address to the desktop's opener (xdg-open) without waiting for
// it; false when the opener could not be started.
bool openWithDesktop(const std::string& address);

}  // namespace kl::host
