#pragma once
// One HTTP exchange over libcurl with the add-on's time-out rules: a connect
// time-out, and a receive time-out that limits every wait for data from the
// server (not the whole transfer), so that slow large downloads still finish.
#include "net/http_types.h"

#include <cstdint>
#include <functional>
#include <string>

namespace kl::net {

struct TransferRequest {
    std::string method = "GET";
    std::string url;
    std::string body;
    std::string contentType;
    std::string userAgent = kUserAgent;
    int connectTimeoutMs = 8000;
    int receiveTimeoutMs = 15000;
    bool skipBodyUnless2xx = false;  // streamed downloads ignore error bodies
    bool followRedirects = true;
    // Asked between waits for data; false stops the transfer as the sink's
    // false does. Empty: the transfer is always wanted.
    std::function<bool()> stillWanted;
};

struct TransferOutcome {
    int status = 0;
    std::string error;
    std::int64_t received = 0;
    std::int64_t total = 0;  // Content-Length, 0 when not sent
    bool stoppedBySink = false;
};

TransferOutcome performTransfer(const TransferRequest& req, const DownloadSink& sink);

// The streamed GET behind cached file downloads.
DownloadResult streamDownload(const std::string& url, int connectTimeoutMs, int receiveTimeoutMs,
                              const std::string& userAgent, const DownloadSink& sink, bool followRedirects = true,
                              std::function<bool()> stillWanted = {});

// True when "GIS_DEBUG_HTTP" is set (any value).
bool httpDebugEnabled();

}  // namespace kl::net
