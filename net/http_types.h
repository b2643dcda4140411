#pragma once
// Results and knobs shared by every network operation of the add-on.
#include <cstdint>
#include <functional>
#include <string>

namespace kl::net {

struct HttpResponse {
    int status = 0;     // HTTP status; 0 when no response arrived
    std::string body;   // whole body (bytes)
    std::string error;  // empty when the exchange completed at the HTTP level
    bool ok = false;    // 2xx and no error
};

struct DownloadResult {
    int status = 0;
    std::string error;
    bool ok = false;
};

// Why a download into the cache gave no file.
enum class CacheFailure {
    None,
    Cancelled,
    Disk,    // the cache could not be written: no later download will fit either
    Source,  // the server, the connection or the body failed this one file
};

// Receives (bytes, count, expected total or 0); false stops the transfer.
using DownloadSink = std::function<bool(const char*, std::size_t, std::int64_t)>;

// Receives (bytes so far, expected total or 0); false cancels.
using DownloadProgress = std::function<bool(std::int64_t, std::int64_t)>;

// Reads a completed download (its path) and returns why it is unusable, or
// empty when it is whole.
using DownloadCheck = std::function<std::string(const std::string&)>;

// Every delay the client waits. Defaults are the production values; tests
// shrink them so that fault scenarios stay fast.
struct HttpTimings {
    int connectTimeoutMs = 8000;
    int defaultReceiveTimeoutMs = 15000;
    int retryDelayMs = 500;
    int hostSpacingMs = 1000;
    int progressIntervalMs = 200;
};

inline constexpr const char* kUserAgent = "KARTOLINK/0.1 (archicad-addon)";

}  // namespace kl::net
