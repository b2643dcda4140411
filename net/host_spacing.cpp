#include "net/host_spacing.h"

#include "net/url_text.h"

#include <algorithm>

namespace kl::net {

bool isLoopbackHost(std::string_view host) {
    if (const auto at = host.rfind('@'); at != std::string_view::npos) host.remove_prefix(at + 1);
    if (host.substr(0, 5) == "[::1]") return true;
    host = host.substr(0, host.find_first_of(":?#"));
    if (lowerAscii(host) == "localhost") return true;
    if (host.substr(0, 4) != "127.") return false;
    return std::all_of(host.begin(), host.end(), [](char c) { return c == '.' || (c >= '0' && c <= '9'); });
}

std::int64_t HostSpacing::claim(std::string_view url, std::int64_t nowMs) {
    const std::string host = hostOf(url);
    if (isLoopbackHost(host)) return 0;
    std::int64_t wait = 0;
    if (auto it = lastStartMs_.find(host); it != lastStartMs_.end())
        wait = std::max<std::int64_t>(0, it->second + spacingMs_ - nowMs);
    lastStartMs_[host] = nowMs + wait;
    return wait;
}

}  // namespace kl::net
