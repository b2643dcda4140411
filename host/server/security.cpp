#include "host/server/security.h"

#include <random>
#include <system_error>

namespace kl::host {

std::string makeToken() {
    std::random_device rd;
    static const char* hex = "0123456789abcdef";
    std::string t;
    for (int i = 0; i < 32; ++i) t += hex[rd() & 0xF];
    return t;
}

bool tokenMatches(std::string_view given, std::string_view token) {
    if (given.size() != token.size() || token.empty()) return false;
    unsigned char diff = 0;
    for (size_t i = 0; i < token.size(); ++i) diff |= static_cast<unsigned char>(given[i] ^ token[i]);
    return diff == 0;
}

bool allowedHost(std::string_view host, int port) {
    const std::string p = ":" + std::to_string(port);
    return host == "127.0.0.1" + p || host == "localhost" + p;
}

bool allowedOrigin(std::string_view origin, int port) {
    if (origin.empty()) return true;
    const std::string p = ":" + std::to_string(port);
    return origin == "http://127.0.0.1" + p || origin == "http://localhost" + p;
}

std::optional<std::filesystem::path> resolveInside(const std::filesystem::path& root, std::string_view relative) {
    namespace fs = std::filesystem;
    if (relative.empty() || relative.front() == '/') return std::nullopt;
    fs::path candidate = root;
    size_t start = 0;
    while (start <= relative.size()) {
        size_t end = relative.find('/', start);
        if (end == std::string_view::npos) end = relative.size();
        std::string_view seg = relative.substr(start, end - start);
        if (seg.empty() || seg == "." || seg == ".." || seg.find('\\') != std::string_view::npos ||
            seg.find('\0') != std::string_view::npos)
            return std::nullopt;
        candidate /= std::string(seg);
        start = end + 1;
    }
    std::error_code ec;
    const fs::path realRoot = fs::canonical(root, ec);
    if (ec) return std::nullopt;
    const fs::path real = fs::canonical(candidate, ec);
    if (ec) return std::nullopt;
    auto r = realRoot.begin();
    auto c = real.begin();
    for (; r != realRoot.end(); ++r, ++c)
        if (c == real.end() || *r != *c) return std::nullopt;
    if (c == real.end()) return std::nullopt;  // the root itself
    if (!fs::is_regular_file(real, ec)) return std::nullopt;
    return real;
}

}  // namespace kl::host
