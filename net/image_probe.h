#pragma once
// What a map server really sent: a whole PNG or JPEG file of a known size,
// or something else (an exception report, a body cut short, garbage behind
// the right first bytes). Only the file structure is read; nothing is decoded.
#include <optional>
#include <string_view>

namespace kl::net {

struct ImageInfo {
    std::string_view mimeType;  // "image/png" or "image/jpeg"
    int width = 0, height = 0;
};

// The format and size of a complete image file, nothing for anything else:
// a PNG needs its header first, every chunk's checksum right and the end
// chunk last; a JPEG needs its frame header and the end marker at the end.
std::optional<ImageInfo> probeImage(std::string_view body);

}  // namespace kl::net
