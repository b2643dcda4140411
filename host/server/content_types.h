#pragma once
#include <string>
#include <string_view>

namespace kl::host {

// The workbench's JSON answers. With the charset named, the HTTP library does not
// recognise the type as compressible: it brotli-compresses the bare
// "application/json" at its slowest setting (minutes for a site's model), which
// on loopback saves nothing.
inline constexpr const char* kJsonContentType = "application/json; charset=utf-8";

// The Content-Type for a file name, by its extension.
std::string contentTypeFor(std::string_view fileName);
bool isHtml(std::string_view fileName);

}  // namespace kl::host
