#include "net/wfs_client.h"

#include "net/download_cache.h"
#include "net/http_transport.h"
#include "net/service_hosts.h"
#include "net/url_text.h"
#include "base/diag_log.h"

#include <chrono>
#include <fstream>
#include <thread>

namespace kl::net {
namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kDiagFile = "kartolink_http_diag.txt";

std::int64_t monotonicMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
}

bool is2xx(int status) { return status >= 200 && status <= 299; }
bool is4xx(int status) { return status >= 400 && status <= 499; }

}  // namespace

std::string failureReason(int status, const std::string& error) {
    return !error.empty() ? error : "Serwer zwrocil status " + std::to_string(status);
}

WfsClient::WfsClient(HttpTimings timings, settings::ServiceHosts hosts)
    : timings_(timings), hosts_(std::move(hosts)), spacing_(timings.hostSpacingMs) {}

std::string WfsClient::cachePath(const std::string& url, std::string_view extension) const {
    return cachePathFor(cacheKeyOf(hosts_, url), extension);
}

void WfsClient::throttle(const std::string& url) {
    const std::int64_t wait = spacing_.claim(url, monotonicMs());
    if (wait > 0) std::this_thread::sleep_for(std::chrono::milliseconds(wait));
}

HttpResponse WfsClient::request(std::string_view method, const std::string& url, std::string_view body,
                                std::string_view contentType, int receiveTimeoutMs) {
    const std::string target = routeThroughOverride(hosts_, url);
    throttle(target);

    TransferRequest req;
    req.method = std::string(method);
    req.url = target;
    req.body = std::string(body);
    req.contentType = std::string(contentType);
    req.userAgent = userAgent_;
    req.connectTimeoutMs = timings_.connectTimeoutMs;
    req.receiveTimeoutMs = receiveTimeoutMs;
    req.followRedirects = followsRedirects();
    if (cancelled_) req.stillWanted = [this] { return !cancelled_(); };

    HttpResponse resp;
    bool tooLarge = false;
    const DownloadSink collect = [&](const char* data, std::size_t n, std::int64_t) {
        if (static_cast<std::int64_t>(resp.body.size() + n) > kMaxInMemoryBody) {
            tooLarge = true;
            return false;
        }
        resp.body.append(data, n);
        return true;
    };
    const TransferOutcome t = performTransfer(req, collect);
    resp.status = t.status;
    resp.error = tooLarge ? "Odpowiedz serwera zbyt duza (ponad " + formatSize(kMaxInMemoryBody) + ")." : t.error;
    if (!resp.error.empty()) resp.body.clear();
    resp.ok = is2xx(resp.status) && resp.error.empty();
    return resp;
}

HttpResponse WfsClient::getChecked(const std::string& url, int receiveTimeoutMs, ExpectedBody expected) {
    HttpResponse r = request("GET", url, {}, {}, receiveTimeoutMs);
    if (!r.ok) return r;
    r.error = wholeBodyMismatch(expected, r.body);
    if (!r.error.empty()) {
        r.ok = false;
        r.body.clear();
    }
    return r;
}

HttpResponse WfsClient::getRetrying(const std::string& url, int receiveTimeoutMs, ExpectedBody expected) {
    HttpResponse r = getChecked(url, receiveTimeoutMs, expected);
    if (r.ok || is4xx(r.status) || stopAsked()) return r;
    std::this_thread::sleep_for(std::chrono::milliseconds(timings_.retryDelayMs));
    return getChecked(url, receiveTimeoutMs, expected);
}

HttpResponse WfsClient::get(const std::string& url, ExpectedBody expected, int receiveTimeoutMs) {
    return getRetrying(url, receiveTimeoutMs > 0 ? receiveTimeoutMs : timings_.defaultReceiveTimeoutMs, expected);
}

HttpResponse WfsClient::getWithTimeout(const std::string& url, int receiveTimeoutMs) {
    return request("GET", url, {}, {}, receiveTimeoutMs);
}

HttpResponse WfsClient::postJson(const std::string& url, std::string_view json) {
    return request("POST", url, json, "application/json", timings_.defaultReceiveTimeoutMs);
}

CachedText WfsClient::fetchCachedText(const std::string& url, int receiveTimeoutMs, ExpectedBody expected,
                                      bool retryOnce) {
    CachedText out;
    const std::string path = cachePath(url, "gml");
    if (readCacheFile(path, out.text)) {
        if (!out.text.empty() && wholeBodyMismatch(expected, out.text).empty()) {
            out.fromCache = true;
            out.status = 200;
            return out;
        }
        kl::platform::appendDiagLine(kDiagFile, "cache: usuniety plik, ktory nie jest danymi: " + path);
        removeCacheFile(path);
        out.text.clear();
    }
    HttpResponse r = retryOnce ? getRetrying(url, receiveTimeoutMs, expected)
                               : getChecked(url, receiveTimeoutMs, expected);
    out.status = r.status;
    if (!r.ok) {
        out.error = failureReason(r.status, r.error);
        return out;
    }
    publishCacheFile(path, r.body);  // a failed write only costs a later refetch
    out.text = std::move(r.body);
    return out;
}

std::string WfsClient::getCachedText(const std::string& url, int receiveTimeoutMs, ExpectedBody expected) {
    return fetchCachedText(url, receiveTimeoutMs, expected).text;
}

void WfsClient::evictCachedText(const std::string& url) {
    const std::string path = cachePath(url, "gml");
    kl::platform::appendDiagLine(kDiagFile, "cache: usuniety plik, ktorego nie da sie odczytac: " + path);
    removeCacheFile(path);
}

void WfsClient::evictCachedFile(const std::string& url) {
    const std::string path = cachePath(url, "zip");
    kl::platform::appendDiagLine(kDiagFile, "cache: usuniety plik, ktorego nie da sie odczytac: " + path);
    removeCacheFile(path);
}

std::string WfsClient::getCachedFile(const std::string& url, const DownloadProgress& progress, int receiveTimeoutMs,
                                     std::string& error, ExpectedBody expected, const DownloadCheck& check,
                                     CacheFailure* failure) {
    error.clear();
    CacheFailure ignored = CacheFailure::None;
    CacheFailure& why = failure ? *failure : ignored;
    why = CacheFailure::None;
    const std::string target = routeThroughOverride(hosts_, url);
    const std::string finalPath = cachePath(url, "zip");
    {
        std::ifstream existing(finalPath, std::ios::binary);
        if (existing) return finalPath;
    }
    throttle(target);

    const std::string tmp = temporaryPathFor(finalPath);
    std::ofstream file(tmp, std::ios::binary | std::ios::trunc);
    if (!file) {
        why = CacheFailure::Disk;
        error = "Nie mozna zapisac do pamieci podrecznej: " + tmp;
        return {};
    }

    bool diskError = false;
    bool cancelled = false;
    std::int64_t received = 0;
    std::int64_t lastReported = -1;
    std::int64_t lastTotal = 0;
    // Silence is measured from the start, so a fast answer's first report
    // still comes with its first bytes.
    Clock::time_point lastReportAt = Clock::now();
    std::string head;
    const auto interval = std::chrono::milliseconds(timings_.progressIntervalMs);

    const DownloadSink sink = [&](const char* data, std::size_t n, std::int64_t total) {
        file.write(data, static_cast<std::streamsize>(n));
        if (!file) {
            diskError = true;
            return false;
        }
        if (head.size() < kBodyHeadBytes) head.append(data, std::min(n, kBodyHeadBytes - head.size()));
        received += static_cast<std::int64_t>(n);
        lastTotal = total;
        if (progress) {
            const auto now = Clock::now();
            const bool first = lastReported < 0;
            const bool timeUp = !first && now - lastReportAt >= interval;
            const bool stepUp =
                !first && total > 0 && received - lastReported >= std::max<std::int64_t>(total / 100, 1);
            if (first || timeUp || stepUp) {
                lastReported = received;
                lastReportAt = now;
                if (!progress(received, total)) {
                    cancelled = true;
                    return false;
                }
            }
        }
        return true;
    };

    // Large files wait minutes for a silent server: the cancel is asked
    // while nothing comes too, not only when data arrives.
    const auto stillWanted = [&] {
        if (stopAsked()) cancelled = true;
        if (!progress || cancelled) return !cancelled;
        const auto now = Clock::now();
        if (now - lastReportAt < interval) return true;
        lastReportAt = now;
        cancelled = !progress(received, lastTotal);
        return !cancelled;
    };
    const DownloadResult r =
        streamDownload(target, timings_.connectTimeoutMs, receiveTimeoutMs, userAgent_, sink,
                       followsRedirects(), stillWanted);
    if (r.ok && !cancelled && !diskError && progress && lastReported != received) progress(received, lastTotal);
    file.flush();
    if (!file) diskError = true;
    file.close();

    auto fail = [&](std::string message, CacheFailure kind = CacheFailure::Source) {
        removeCacheFile(tmp);
        why = kind;
        error = std::move(message);
        return std::string();
    };
    if (cancelled) return fail("Pobieranie anulowane.", CacheFailure::Cancelled);
    if (diskError) return fail("Blad zapisu na dysk - sprawdz wolne miejsce.", CacheFailure::Disk);
    if (r.ok) {
        std::string mismatch = bodyMismatch(expected, head);
        if (!mismatch.empty()) return fail(mismatch);
        if (check) {
            if (std::string broken = check(tmp); !broken.empty()) return fail(std::move(broken));
        }
        if (!publishTemporaryFile(tmp, finalPath)) {
            return fail("Nie mozna sfinalizowac pliku w pamieci podrecznej.", CacheFailure::Disk);
        }
        return finalPath;
    }
    return fail(failureReason(r.status, r.error));
}

}  // namespace kl::net
