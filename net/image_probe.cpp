#include "net/image_probe.h"

#include <cstdint>
#include <cstring>

#include <zlib.h>

namespace kl::net {
namespace {

constexpr unsigned char kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

std::uint32_t bigEndian32(std::string_view s, std::size_t at) {
    const auto b = [&](std::size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(s[at + i])); };
    return b(0) << 24 | b(1) << 16 | b(2) << 8 | b(3);
}

int bigEndian16(std::string_view s, std::size_t at) {
    return static_cast<unsigned char>(s[at]) << 8 | static_cast<unsigned char>(s[at + 1]);
}

std::optional<ImageInfo> probePng(std::string_view s) {
    ImageInfo info{"image/png"};
    std::size_t at = sizeof kPngSignature;
    bool first = true;
    while (at + 12 <= s.size()) {
        const std::uint32_t length = bigEndian32(s, at);
        if (length > s.size() - at - 12) return std::nullopt;
        const std::string_view type = s.substr(at + 4, 4);
        // The checksum covers the type and the data.
        const auto* covered = reinterpret_cast<const Bytef*>(s.data() + at + 4);
        const uLong crc = crc32(crc32(0L, Z_NULL, 0), covered, static_cast<uInt>(length + 4));
        if (crc != bigEndian32(s, at + 8 + length)) return std::nullopt;
        if (first) {
            if (type != "IHDR" || length != 13) return std::nullopt;
            const std::uint32_t w = bigEndian32(s, at + 8), h = bigEndian32(s, at + 12);
            if (w == 0 || h == 0 || w > 0x7FFFFFFF || h > 0x7FFFFFFF) return std::nullopt;
            info.width = static_cast<int>(w);
            info.height = static_cast<int>(h);
            first = false;
        }
        at += 12 + length;
        if (type == "IEND") return at == s.size() ? std::optional<ImageInfo>(info) : std::nullopt;
    }
    return std::nullopt;
}

bool isFrameHeader(unsigned char marker) {
    // SOF0..SOF15 without DHT (C4), JPG (C8) and DAC (CC).
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

std::optional<ImageInfo> probeJpeg(std::string_view s) {
    if (s.size() < 4 || static_cast<unsigned char>(s[s.size() - 2]) != 0xFF ||
        static_cast<unsigned char>(s[s.size() - 1]) != 0xD9)
        return std::nullopt;
    // Segments up to the frame header; the scan data after it is not walked.
    std::size_t at = 2;
    while (at + 4 <= s.size()) {
        if (static_cast<unsigned char>(s[at]) != 0xFF) return std::nullopt;
        const unsigned char marker = static_cast<unsigned char>(s[at + 1]);
        if (marker == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        const int length = bigEndian16(s, at + 2);
        if (length < 2 || at + 2 + static_cast<std::size_t>(length) > s.size()) return std::nullopt;
        if (isFrameHeader(marker)) {
            if (length < 7) return std::nullopt;
            const int height = bigEndian16(s, at + 5), width = bigEndian16(s, at + 7);
            if (width == 0 || height == 0) return std::nullopt;
            return ImageInfo{"image/jpeg", width, height};
        }
        if (marker == 0xDA || marker == 0xD9) return std::nullopt;  // scan or end before any frame header
        at += 2 + static_cast<std::size_t>(length);
    }
    return std::nullopt;
}

}  // namespace

std::optional<ImageInfo> probeImage(std::string_view body) {
    if (body.size() > sizeof kPngSignature && std::memcmp(body.data(), kPngSignature, sizeof kPngSignature) == 0)
        return probePng(body);
    if (body.size() > 3 && static_cast<unsigned char>(body[0]) == 0xFF && static_cast<unsigned char>(body[1]) == 0xD8)
        return probeJpeg(body);
    return std::nullopt;
}

}  // namespace kl::net
