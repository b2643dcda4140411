#include "net/service_hosts.h"

#include "base/service_hosts.h"

#include <mutex>

namespace kl::net {
namespace {

std::mutex g_mutex;
std::string g_override;

std::string trimmedBase(std::string base) {
    while (!base.empty() && base.back() == '/') base.pop_back();
    return base;
}

}  // namespace

void setServiceHostOverride(std::string base) {
    std::lock_guard lock(g_mutex);
    g_override = trimmedBase(std::move(base));
}

std::string serviceHostOverride() {
    {
        std::lock_guard lock(g_mutex);
        if (!g_override.empty()) return g_override;
    }
    return kl::settings::serviceOriginFromEnvironment();
}

std::string nationalServiceUrl(std::string_view path) {
    const std::string base = serviceHostOverride();
    return (base.empty() ? std::string(kGeoportalHost) : base) + std::string(path);
}

std::string routeThroughOverride(std::string_view url) {
    const std::string base = serviceHostOverride();
    if (base.empty()) return std::string(url);
    const auto scheme = url.find("://");
    if (scheme == std::string_view::npos) return std::string(url);
    const auto pathStart = url.find_first_of("/?#", scheme + 3);
    std::string rest = pathStart == std::string_view::npos ? std::string("/") : std::string(url.substr(pathStart));
    if (rest.front() != '/') rest.insert(rest.begin(), '/');
    return base + rest;
}

std::string cacheKeyOf(std::string_view url) {
    const std::string base = serviceHostOverride();
    std::string routed = routeThroughOverride(url);
    if (base.empty() || routed.rfind(base, 0) != 0) return routed;
    return "kartolink-local-services:" + routed.substr(base.size());
}

}  // namespace kl::net
