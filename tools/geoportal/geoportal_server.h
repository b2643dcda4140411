#pragma once
// The local geoportal: one HTTP server on 127.0.0.1 that answers like the
// national and county services for the demo site, with fault injection and a
// request log. Usable in-process (tests) or through kartolink-geoportal.

#include "tools/geoportal/faults.h"
#include "tools/geoportal/request_log.h"
#include "tools/geoportal/service_request.h"

#include <memory>
#include <string>

namespace kl::geoportal {

struct ServerOptions {
    std::string host = "127.0.0.1";  // anything but loopback is refused
    int port = 0;                    // 0: a free port chosen by the system
    ServiceConfig config;
};

struct StartResult {
    bool ok = false;
    std::string message;  // Polish, for the user, when not ok
};

bool isLoopbackHost(std::string_view host);

class GeoportalServer {
public:
    explicit GeoportalServer(ServerOptions options = {});
    ~GeoportalServer();
    GeoportalServer(const GeoportalServer&) = delete;
    GeoportalServer& operator=(const GeoportalServer&) = delete;

    StartResult start();
    void stop();
    int port() const;
    std::string baseUrl() const;  // "http://127.0.0.1:PORT"

    FaultTable& faults();
    RequestLog& log();
    void setConfig(const ServiceConfig& config);

    // The demo description with the service addresses of this server, as JSON.
    std::string describeJson() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace kl::geoportal
