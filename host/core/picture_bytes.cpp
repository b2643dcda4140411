#include "host/core/picture_bytes.h"

#include <array>

namespace kl::host {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<int8_t, 256> decodeTable() {
    std::array<int8_t, 256> t{};
    t.fill(-1);
    for (int i = 0; i < 64; ++i) t[static_cast<unsigned char>(kAlphabet[i])] = static_cast<int8_t>(i);
    return t;
}

}  // namespace

std::string base64Encode(const std::vector<unsigned char>& bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const size_t n = bytes.size() - i < 3 ? bytes.size() - i : 3;
        uint32_t v = uint32_t(bytes[i]) << 16;
        if (n > 1) v |= uint32_t(bytes[i + 1]) << 8;
        if (n > 2) v |= bytes[i + 2];
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += n > 1 ? kAlphabet[(v >> 6) & 63] : '=';
        out += n > 2 ? kAlphabet[v & 63] : '=';
    }
    return out;
}

std::optional<std::vector<unsigned char>> base64Decode(std::string_view text) {
    static constexpr auto table = decodeTable();
    if (text.size() % 4 != 0) return std::nullopt;
    std::vector<unsigned char> out;
    out.reserve(text.size() / 4 * 3);
    for (size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        const size_t pad = last ? (text[i + 3] == '=') + (text[i + 2] == '=') : 0;
        if (pad == 1 && text[i + 2] == '=') return std::nullopt;
        uint32_t v = 0;
        for (size_t k = 0; k < 4 - pad; ++k) {
            const int8_t d = table[static_cast<unsigned char>(text[i + k])];
            if (d < 0) return std::nullopt;
            v |= uint32_t(d) << (18 - 6 * k);
        }
        // Bits below the last whole byte must be zero, or two texts would give one picture.
        if ((pad == 1 && (v & 0xFF)) || (pad == 2 && (v & 0xFFFF))) return std::nullopt;
        out.push_back(static_cast<unsigned char>(v >> 16));
        if (pad < 2) out.push_back(static_cast<unsigned char>(v >> 8));
        if (pad < 1) out.push_back(static_cast<unsigned char>(v));
    }
    return out;
}

uint64_t pictureHash(const std::vector<unsigned char>& bytes) {
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : bytes) h = (h ^ c) * 1099511628211ull;
    return h;
}

}  // namespace kl::host
