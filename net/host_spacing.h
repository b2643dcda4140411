#pragma once
// The politeness pause: at most one request start per host and interval, as
// the public services ask of their clients. Loopback servers (the demo and
// the tests) serve only this machine and are not paced.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace kl::net {

// "localhost", 127.0.0.0/8 and ::1, with or without a port.
bool isLoopbackHost(std::string_view host);

class HostSpacing {
public:
    explicit HostSpacing(int spacingMs) : spacingMs_(spacingMs) {}

    // How many ms a request to this URL must wait when it would start at nowMs;
    // the start (after that wait) is recorded for the next request.
    std::int64_t claim(std::string_view url, std::int64_t nowMs);

private:
    int spacingMs_;
    std::map<std::string, std::int64_t> lastStartMs_;
};

}  // namespace kl::net
