#pragma once
// The add-on's one HTTP client: plain requests, cached text fetches and
// streamed file downloads into the cache. Blocking; one thread at a time per
// object. Nothing here throws for network or file errors.
#include "base/service_hosts.h"
#include "net/body_kind.h"
#include "net/host_spacing.h"
#include "net/http_types.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kl::net {

struct CachedText {
    std::string text;   // empty on failure
    std::string error;  // why nothing came (Polish), empty on success
    int status = 0;
    bool fromCache = false;
};

class WfsClient {
public:
    // Every request goes through the override of hosts when it has one;
    // without one each goes to the host its URL names. No default: a client
    // made without the configured hosts would talk to the real services while
    // the environment points elsewhere.
    explicit WfsClient(HttpTimings timings, settings::ServiceHosts hosts);

    const std::string& userAgent() const { return userAgent_; }
    const HttpTimings& timings() const { return timings_; }
    const settings::ServiceHosts& hosts() const { return hosts_; }

    // Once cancelled answers true, a request under way stops within a
    // fraction of a second (even while the server is silent) and none is
    // tried again; it fails with "Pobieranie anulowane.". Kept until replaced;
    // empty: never.
    void stopWhen(std::function<bool()> cancelled) { cancelled_ = std::move(cancelled); }

    HttpResponse request(std::string_view method, const std::string& url, std::string_view body,
                         std::string_view contentType, int receiveTimeoutMs);
    // GET with the default receive time-out. A failure that may pass is tried
    // once more after a short pause: no answer, a reset, a cut body, 3xx or
    // 5xx, or a 2xx whose body is not the expected document (an exception
    // report, an HTML page, a document cut short). A 4xx is returned at once.
    // A body that still does not fit fails the response, the reason in error.
    // receiveTimeoutMs 0: the default of the timings.
    HttpResponse get(const std::string& url, ExpectedBody expected = ExpectedBody::Any, int receiveTimeoutMs = 0);
    HttpResponse getWithTimeout(const std::string& url, int receiveTimeoutMs);
    HttpResponse postJson(const std::string& url, std::string_view json);

    // GET through the cache (".gml" files). Only a complete 2xx body that fits
    // the expectation is stored, and a cached file that no longer fits is
    // dropped and fetched again.
    // With retryOnce a failure that may pass is asked again as get() does.
    CachedText fetchCachedText(const std::string& url, int receiveTimeoutMs,
                               ExpectedBody expected = ExpectedBody::Text, bool retryOnce = false);
    std::string getCachedText(const std::string& url, int receiveTimeoutMs,
                              ExpectedBody expected = ExpectedBody::Text);
    // Drops the cached text of a URL, e.g. after it failed to parse.
    void evictCachedText(const std::string& url);

    // Streams a large file into the cache (".zip" files) and returns its path,
    // or empty with the reason in error. Progress may cancel. A check, when
    // given, reads the finished temporary file before it is published: a
    // body that a server cut short without saying so never enters the cache.
    // When failure is given it tells a full or unwritable cache (every later
    // download would fail too) from a source that failed this one file.
    std::string getCachedFile(const std::string& url, const DownloadProgress& progress, int receiveTimeoutMs,
                              std::string& error, ExpectedBody expected = ExpectedBody::Binary,
                              const DownloadCheck& check = {}, CacheFailure* failure = nullptr);
    // Drops the cached file of a URL, e.g. after it failed to decode.
    void evictCachedFile(const std::string& url);

private:
    HttpResponse getChecked(const std::string& url, int receiveTimeoutMs, ExpectedBody expected);
    HttpResponse getRetrying(const std::string& url, int receiveTimeoutMs, ExpectedBody expected);
    void throttle(const std::string& url);
    bool stopAsked() const { return cancelled_ && cancelled_(); }
    // Answers of the override are found again whatever port it listens on.
    std::string cachePath(const std::string& url, std::string_view extension) const;
    // A redirect could lead off the override's loopback server.
    bool followsRedirects() const { return hosts_.overrideOrigin.empty(); }

    HttpTimings timings_;
    settings::ServiceHosts hosts_;
    HostSpacing spacing_;
    std::string userAgent_ = kUserAgent;
    std::function<bool()> cancelled_;
};

// Why an exchange failed (Polish): its error text, else its HTTP status.
std::string failureReason(int status, const std::string& error);

// Bodies held in memory are limited; large files go through getCachedFile.
inline constexpr std::int64_t kMaxInMemoryBody = 512ll * 1024 * 1024;

}  // namespace kl::net
