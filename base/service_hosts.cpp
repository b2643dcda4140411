#include "base/service_hosts.h"

#include <cstdlib>

namespace kl::settings {
namespace {

bool isHostChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-';
}

}  // namespace

bool isServiceOrigin(std::string_view text) noexcept {
    std::string_view rest;
    if (text.substr(0, 7) == "http://") rest = text.substr(7);
    else if (text.substr(0, 8) == "https://") rest = text.substr(8);
    else return false;
    if (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);
    const auto colon = rest.find(':');
    const std::string_view host = rest.substr(0, colon);
    if (host.empty() || host.size() > 253) return false;
    for (const char c : host) {
        if (!isHostChar(c)) return false;
    }
    if (colon == std::string_view::npos) return true;
    const std::string_view port = rest.substr(colon + 1);
    if (port.empty() || port.size() > 5) return false;
    unsigned value = 0;
    for (const char c : port) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value > 0 && value <= 65535;
}

ServiceHosts serviceHostsWithOverride(std::string_view overrideOrigin) {
    ServiceHosts hosts;
    if (!isServiceOrigin(overrideOrigin)) return hosts;
    std::string origin(overrideOrigin);
    if (origin.back() == '/') origin.pop_back();
    for (std::string* h : {&hosts.orto, &hosts.egib, &hosts.prg, &hosts.mpzp, &hosts.pog, &hosts.ofm, &hosts.nominatim,
                           &hosts.photon, &hosts.overrideOrigin}) *h = origin;
    return hosts;
}

std::string serviceOriginFromEnvironment() {
    for (const char* name : {kServiceHostsOverrideVar, kServiceBaseOverrideVar}) {
        const char* value = std::getenv(name);
        if (!value || !isServiceOrigin(value)) continue;
        std::string origin(value);
        if (origin.back() == '/') origin.pop_back();
        return origin;
    }
    return {};
}

ServiceHosts configuredServiceHosts() { return serviceHostsWithOverride(serviceOriginFromEnvironment()); }

nlohmann::json serviceHostsJson(const ServiceHosts& hosts) {
    return {{"orto", hosts.orto}, {"egib", hosts.egib}, {"prg", hosts.prg},
            {"mpzp", hosts.mpzp}, {"pog", hosts.pog},   {"ofm", hosts.ofm}};
}

}  // namespace kl::settings
