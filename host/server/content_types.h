#pragma once
#include <string>
#include <string_view>

namespace kl::host {

// The Content-Type for a file name, by its extension.
std::string contentTypeFor(std::string_view fileName);
bool isHtml(std::string_view fileName);

}  // namespace kl::host
