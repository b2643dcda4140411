#include "host/core/file_url.h"

namespace kl::host {
namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::optional<std::string> percentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return std::nullopt;
        const int hi = hexValue(text[i + 1]), lo = hexValue(text[i + 2]);
        if (hi < 0 || lo < 0) return std::nullopt;
        const char c = static_cast<char>(hi * 16 + lo);
        if (c == '\0') return std::nullopt;
        out += c;
        i += 2;
    }
    return out;
}

std::optional<FileUrl> parseFileUrl(std::string_view url) {
    constexpr std::string_view scheme = "file://";
    if (url.size() < scheme.size()) return std::nullopt;
    for (size_t i = 0; i < scheme.size(); ++i)
        if (static_cast<char>(url[i] | 0x20) != scheme[i]) return std::nullopt;  // scheme is case-blind
    std::string_view rest = url.substr(scheme.size());
    if (rest.substr(0, 9) == "localhost") rest.remove_prefix(9);
    if (rest.empty() || rest.front() != '/') return std::nullopt;
    FileUrl out;
    const size_t cut = rest.find_first_of("?#");
    if (cut != std::string_view::npos) {
        out.suffix = std::string(rest.substr(cut));
        rest = rest.substr(0, cut);
    }
    auto path = percentDecode(rest);
    if (!path) return std::nullopt;
    out.path = std::move(*path);
    return out;
}

}  // namespace kl::host
