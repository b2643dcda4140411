#include "net/service_hosts.h"

namespace kl::net {
namespace {

// The override without trailing slashes; "" when there is none.
std::string_view overrideBase(const settings::ServiceHosts& hosts) {
    std::string_view base = hosts.overrideOrigin;
    while (!base.empty() && base.back() == '/') base.remove_suffix(1);
    return base;
}

}  // namespace

std::string nationalServiceUrl(const settings::ServiceHosts& hosts, std::string_view path) {
    const std::string_view base = overrideBase(hosts);
    return std::string(base.empty() ? kGeoportalHost : base) + std::string(path);
}

std::string routeThroughOverride(const settings::ServiceHosts& hosts, std::string_view url) {
    const std::string_view base = overrideBase(hosts);
    if (base.empty()) return std::string(url);
    const auto scheme = url.find("://");
    if (scheme == std::string_view::npos) return std::string(url);
    const auto pathStart = url.find_first_of("/?#", scheme + 3);
    std::string rest = pathStart == std::string_view::npos ? std::string("/") : std::string(url.substr(pathStart));
    if (rest.front() != '/') rest.insert(rest.begin(), '/');
    return std::string(base) + rest;
}

std::string cacheKeyOf(const settings::ServiceHosts& hosts, std::string_view url) {
    const std::string_view base = overrideBase(hosts);
    std::string routed = routeThroughOverride(hosts, url);
    if (base.empty() || routed.rfind(base, 0) != 0) return routed;
    return "kartolink-local-services:" + routed.substr(base.size());
}

}  // namespace kl::net
