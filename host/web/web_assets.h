#pragma once
// The workbench page's own files, compiled into the executable.
#include <cstddef>
#include <string_view>

namespace kl::host {

struct WebAsset {
    const char* name;
    const char* contentType;
    const unsigned char* data;
    size_t size;
};

const WebAsset* findWebAsset(std::string_view name);

}  // namespace kl::host
