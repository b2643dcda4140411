// Map server answers as image bodies: the first byte picks a PNG signature,
// a JPEG start or nothing in front of the rest, so that the walk over chunks
// and segments is reached without a seed.
#include <cstddef>
#include <cstdint>
#include <string>

#include "net/image_probe.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    static const std::string starts[] = {std::string("\x89PNG\r\n\x1a\n", 8), std::string("\xff\xd8", 2), std::string()};
    const std::string body = starts[data[0] % 3] + std::string(reinterpret_cast<const char*>(data + 1), size - 1);
    const auto info = kl::net::probeImage(body);
    if (info && (info->width <= 0 || info->height <= 0 || (info->mimeType != "image/png" && info->mimeType != "image/jpeg")))
        __builtin_trap();
    return 0;
}
