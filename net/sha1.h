#pragma once
#include <string>
#include <string_view>

namespace kl::net {

// Standard SHA-1 of the bytes, as 40 lowercase hexadecimal digits. Used only
// to name cache files, so that the same URL always maps to the same file.
std::string sha1Hex(std::string_view bytes);

}  // namespace kl::net
