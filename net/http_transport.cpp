#include "net/http_transport.h"

#include "net/url_text.h"

#include <curl/curl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <utility>

namespace kl::net {
namespace {

using Clock = std::chrono::steady_clock;

void ensureCurlGlobal() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct EasyDeleter {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
struct MultiDeleter {
    void operator()(CURLM* m) const { curl_multi_cleanup(m); }
};
struct SlistDeleter {
    void operator()(curl_slist* s) const { curl_slist_free_all(s); }
};
struct UrlDeleter {
    void operator()(CURLU* u) const { curl_url_cleanup(u); }
};

struct TransferState {
    const TransferRequest* req = nullptr;
    const DownloadSink* sink = nullptr;
    CURL* easy = nullptr;
    Clock::time_point lastActivity;
    bool headersSeen = false;
    bool bodyStarted = false;
    bool skipBody = false;
    bool stoppedBySink = false;
    std::int64_t received = 0;
    std::int64_t total = 0;
};

size_t onHeader(char* data, size_t size, size_t count, void* user) {
    auto* st = static_cast<TransferState*>(user);
    st->lastActivity = Clock::now();
    st->headersSeen = true;
    (void)data;
    return size * count;
}

size_t onBody(char* data, size_t size, size_t count, void* user) {
    auto* st = static_cast<TransferState*>(user);
    const size_t n = size * count;
    st->lastActivity = Clock::now();
    if (!st->bodyStarted) {
        st->bodyStarted = true;
        long code = 0;
        curl_easy_getinfo(st->easy, CURLINFO_RESPONSE_CODE, &code);
        curl_off_t length = -1;
        curl_easy_getinfo(st->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        st->total = length > 0 ? static_cast<std::int64_t>(length) : 0;
        if (st->req->skipBodyUnless2xx && (code < 200 || code > 299)) {
            st->skipBody = true;
            return 0;
        }
    }
    st->received += static_cast<std::int64_t>(n);
    if (*st->sink && !(*st->sink)(data, n, st->total)) {
        st->stoppedBySink = true;
        return 0;
    }
    return n;
}

std::string loopbackAwareNoProxy() {
    std::string list = "127.0.0.1,localhost,::1";
    for (const char* name : {"no_proxy", "NO_PROXY"}) {
        const char* v = std::getenv(name);
        if (v && *v) {
            list += ",";
            list += v;
            break;
        }
    }
    return list;
}

std::string interruptedMessage(std::int64_t received, std::int64_t total) {
    if (total > 0) return "Pobieranie przerwane (" + formatSize(received) + " z " + formatSize(total) + ").";
    return "Pobieranie przerwane (" + formatSize(received) + ").";
}

void debugText(const std::string& line) {
    if (httpDebugEnabled()) std::fputs(line.c_str(), stderr);
}

}  // namespace

bool httpDebugEnabled() { return std::getenv("GIS_DEBUG_HTTP") != nullptr; }

TransferOutcome performTransfer(const TransferRequest& req, const DownloadSink& sink) {
    TransferOutcome out;
    ensureCurlGlobal();

    if (httpDebugEnabled()) {
        const std::string shortUrl = req.url.substr(0, 120);
        std::fprintf(stderr, "[http] %s %s\n", req.method.c_str(), shortUrl.c_str());
    }

    {
        std::unique_ptr<CURLU, UrlDeleter> parsed(curl_url());
        char* scheme = nullptr;
        bool valid = parsed && curl_url_set(parsed.get(), CURLUPART_URL, req.url.c_str(), 0) == CURLUE_OK &&
                     curl_url_get(parsed.get(), CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK;
        if (valid) {
            const std::string s = scheme;
            valid = s == "http" || s == "https";
        }
        if (scheme) curl_free(scheme);
        if (!valid) {
            out.error = "Nieprawidlowy URL: " + req.url;
            return out;
        }
    }

    std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
    std::unique_ptr<CURLM, MultiDeleter> multi(curl_multi_init());
    if (!easy || !multi) {
        out.error = "WinHttpOpen nieudane";
        return out;
    }
    debugText("[http] session otwarta\n");

    std::unique_ptr<curl_slist, SlistDeleter> headers;
    auto addHeader = [&](const std::string& h) {
        curl_slist* next = curl_slist_append(headers.get(), h.c_str());
        if (next) {
            (void)headers.release();
            headers.reset(next);
        }
    };
    if (!req.contentType.empty()) addHeader("Content-Type: " + req.contentType);
    addHeader("Expect:");

    TransferState st;
    st.req = &req;
    st.sink = &sink;
    st.easy = easy.get();

    CURL* e = easy.get();
    const std::string noProxy = loopbackAwareNoProxy();
    curl_easy_setopt(e, CURLOPT_URL, req.url.c_str());
    curl_easy_setopt(e, CURLOPT_USERAGENT, req.userAgent.c_str());
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, req.followRedirects ? 1L : 0L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_NOPROXY, noProxy.c_str());
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(req.connectTimeoutMs));
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &onHeader);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, &st);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &onBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &st);
    if (req.method == "GET") {
        curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
    } else {
        if (req.method == "POST") {
            curl_easy_setopt(e, CURLOPT_POST, 1L);
        } else {
            curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, req.method.c_str());
        }
        curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(req.body.size()));
        curl_easy_setopt(e, CURLOPT_POSTFIELDS, req.body.c_str());
    }

    curl_multi_add_handle(multi.get(), e);
    const auto receiveLimit = std::chrono::milliseconds(req.receiveTimeoutMs > 0 ? req.receiveTimeoutMs : 1);
    bool connected = false;
    bool timedOut = false;
    int running = 1;
    while (running) {
        if (curl_multi_perform(multi.get(), &running) != CURLM_OK) break;
        if (!running) break;
        if (req.stillWanted && !req.stillWanted()) {
            st.stoppedBySink = true;
            break;
        }
        if (!connected) {
            curl_off_t pre = 0;
            curl_easy_getinfo(e, CURLINFO_PRETRANSFER_TIME_T, &pre);
            if (pre > 0) {
                connected = true;
                st.lastActivity = Clock::now();
            }
        }
        auto wait = std::chrono::milliseconds(100);
        if (connected) {
            const auto idle = Clock::now() - st.lastActivity;
            if (idle >= receiveLimit) {
                timedOut = true;
                break;
            }
            wait = std::min(wait, std::chrono::duration_cast<std::chrono::milliseconds>(receiveLimit - idle) +
                                      std::chrono::milliseconds(1));
        }
        curl_multi_poll(multi.get(), nullptr, 0, static_cast<int>(wait.count()), nullptr);
    }

    CURLcode code = CURLE_OK;
    int left = 0;
    while (CURLMsg* msg = curl_multi_info_read(multi.get(), &left))
        if (msg->msg == CURLMSG_DONE) code = msg->data.result;

    long status = 0;
    curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &status);
    if (!st.bodyStarted) {
        curl_off_t length = -1;
        curl_easy_getinfo(e, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        st.total = length > 0 ? static_cast<std::int64_t>(length) : 0;
    }
    curl_multi_remove_handle(multi.get(), e);

    out.status = static_cast<int>(status);
    out.received = st.received;
    out.total = st.total;
    out.stoppedBySink = st.stoppedBySink;

    if (httpDebugEnabled()) {
        const bool sent = connected || st.headersSeen;
        std::fprintf(stderr, "[http] SendRequest=%d err=%lu\n", sent ? 1 : 0,
                     static_cast<unsigned long>(timedOut ? CURLE_OPERATION_TIMEDOUT : code));
    }

    if (st.stoppedBySink) {
        out.error = "Pobieranie anulowane.";
        return out;
    }
    if (st.skipBody) return out;  // error body of a non-2xx answer, not wanted

    const bool responseArrived = status > 0;
    if (timedOut || code != CURLE_OK) {
        const bool connectProblem = code == CURLE_COULDNT_RESOLVE_HOST || code == CURLE_COULDNT_CONNECT ||
                                    code == CURLE_COULDNT_RESOLVE_PROXY ||
                                    (code == CURLE_OPERATION_TIMEDOUT && !connected);
        if (connectProblem) {
            out.status = 0;
            out.error = "Brak polaczenia z " + hostOf(req.url);
        } else if (code == CURLE_SEND_ERROR || code == CURLE_SSL_CONNECT_ERROR ||
                   code == CURLE_PEER_FAILED_VERIFICATION || code == CURLE_SSL_CERTPROBLEM ||
                   code == CURLE_SSL_CACERT_BADFILE || code == CURLE_TOO_MANY_REDIRECTS) {
            out.status = 0;
            out.error = "Wyslanie zapytania nieudane (timeout?)";
        } else if (!responseArrived) {
            debugText("[http] ReceiveResponse FAIL err=" + std::to_string(static_cast<int>(code)) + "\n");
            out.error = "Brak odpowiedzi serwera";
        } else {
            // Headers came but the body broke off: never pass a cut body on.
            out.error = interruptedMessage(st.received, st.total);
        }
        return out;
    }
    debugText("[http] odpowiedz OK, czytam body\n");
    if (st.total > 0 && st.received < st.total) out.error = interruptedMessage(st.received, st.total);
    return out;
}

DownloadResult streamDownload(const std::string& url, int connectTimeoutMs, int receiveTimeoutMs,
                              const std::string& userAgent, const DownloadSink& sink, bool followRedirects,
                              std::function<bool()> stillWanted) {
    TransferRequest req;
    req.followRedirects = followRedirects;
    req.stillWanted = std::move(stillWanted);
    req.url = url;
    req.userAgent = userAgent;
    req.connectTimeoutMs = connectTimeoutMs;
    req.receiveTimeoutMs = receiveTimeoutMs;
    req.skipBodyUnless2xx = true;
    const TransferOutcome t = performTransfer(req, sink);
    DownloadResult r;
    r.status = t.status;
    r.error = t.error;
    r.ok = r.error.empty() && r.status >= 200 && r.status <= 299;
    return r;
}

}  // namespace kl::net
