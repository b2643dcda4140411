#pragma once
// The service registry files, compiled into the module from net/registry/.
#include <string_view>

namespace kl::net {

enum class Registry { Egib, Bdot500, Gesut, Mpzp };

// Text of the registry file as it is in the repository.
std::string_view registryFileText(Registry registry);

// File name in net/registry/, for messages.
std::string_view registryFileName(Registry registry);

}  // namespace kl::net
