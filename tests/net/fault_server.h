#pragma once
// A loopback HTTP server for answers the local geoportal cannot give: written
// by the test (in turn, counted per path), stalled or paced.
#include "base/service_hosts.h"
#include "net/http_types.h"
#include "tests/support/scratch_folder.h"

#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace kl::test {

class FaultServer {
public:
    FaultServer() {
        server_.set_keep_alive_max_count(1);
        port_ = server_.bind_to_any_port("127.0.0.1");
        server_.Get(kReadyPath, [](const httplib::Request&, httplib::Response& rs) { rs.status = 204; });
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        // One answered request proves the accept loop runs: stopping the
        // server before that would leave the loop, and the join, hanging.
        httplib::Client(url("")).Get(kReadyPath);
    }
    ~FaultServer() {
        {
            std::lock_guard lock(mutex_);
            released_ = true;
        }
        releasedChanged_.notify_all();
        server_.stop();
        if (thread_.joinable()) thread_.join();
    }

    std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }
    // Hosts that route every request of a client to this server.
    settings::ServiceHosts hosts() const { return settings::serviceHostsWithOverride(url("")); }

    using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;
    void on(const std::string& path, Handler h) {
        const auto counted = [this, path, h](const httplib::Request& rq, httplib::Response& rs) {
            {
                std::lock_guard lock(mutex_);
                bodies_[path].push_back(rq.body);
            }
            h(rq, rs);
        };
        server_.Get(path, counted);
        server_.Post(path, counted);
    }

    // Answers (status, body) in turn, the last one repeating; a later call for
    // the same path starts its new answers from the first.
    using Answers = std::vector<std::pair<int, std::string>>;
    void answers(const std::string& path, Answers list, std::string type = "application/json") {
        std::lock_guard lock(mutex_);
        const bool served = scripts_.count(path) > 0;
        scripts_[path] = {std::move(list), std::move(type), 0};
        if (!served)
            on(path, [this, path](const httplib::Request&, httplib::Response& rs) {
                std::lock_guard held(mutex_);
                Script& s = scripts_.at(path);
                const auto& [status, body] = s.list[std::min(s.next++, s.list.size() - 1)];
                rs.status = status;
                rs.set_content(body, s.type.c_str());
            });
    }
    void reply(const std::string& path, int status, std::string body, std::string type = "text/xml") {
        answers(path, {{status, std::move(body)}}, std::move(type));
    }

    // Holds the connection without a status line until the server is
    // destroyed: a server that stalls for longer than any client waits.
    void stalls(const std::string& path) {
        on(path, [this](const httplib::Request&, httplib::Response&) { waitForRelease(); });
    }
    // Sends a zip of `total` bytes in chunks, the k-th not before k * paceMs
    // after the answer began (a slow but steady server), holding after
    // `stallAt` bytes until the server is destroyed.
    void chunked(const std::string& path, std::size_t total, std::size_t chunk, int paceMs,
                 std::size_t stallAt = SIZE_MAX) {
        on(path, [=, this](const httplib::Request&, httplib::Response& rs) {
            const auto start = std::chrono::steady_clock::now();
            rs.set_content_provider(total, "application/zip",
                                    [=, this](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                        if (offset >= stallAt) return waitForRelease(), false;
                                        const auto due = start + std::chrono::milliseconds(paceMs) * (offset / chunk);
                                        if (paceMs > 0 && heldUntil(due)) return false;
                                        std::string part(std::min({chunk, total - offset, stallAt - offset}), 'z');
                                        if (offset == 0) part.replace(0, std::min<std::size_t>(4, total), "PK\x03\x04");
                                        return sink.write(part.data(), part.size());
                                    });
        });
    }

    int hits(const std::string& path) { return static_cast<int>(bodies(path).size()); }
    // The bodies of the requests to path, in order.
    std::vector<std::string> bodies(const std::string& path) {
        std::lock_guard lock(mutex_);
        return bodies_[path];
    }

private:
    static constexpr const char* kReadyPath = "/.fault-server-ready";
    struct Script {
        Answers list;
        std::string type;
        std::size_t next;
    };

    void waitForRelease() {
        std::unique_lock lock(mutex_);
        releasedChanged_.wait(lock, [this] { return released_; });
    }
    // Waits for the due time; true when the server is being destroyed first.
    bool heldUntil(std::chrono::steady_clock::time_point due) {
        std::unique_lock lock(mutex_);
        return releasedChanged_.wait_until(lock, due, [this] { return released_; });
    }

    httplib::Server server_;
    std::thread thread_;
    int port_ = 0;
    std::mutex mutex_;
    std::map<std::string, std::vector<std::string>> bodies_;
    std::map<std::string, Script> scripts_;
    std::condition_variable releasedChanged_;
    bool released_ = false;
};

// Loopback servers are never paced: a short retry pause, and a receive
// time-out long enough for a loaded machine.
inline net::HttpTimings loopbackTimings() {
    net::HttpTimings t;
    t.retryDelayMs = 10;
    t.defaultReceiveTimeoutMs = 2000;
    return t;
}

// Points the download cache at a fresh folder for one test.
class TempCacheHome {
public:
    TempCacheHome();
    ~TempCacheHome();
    std::string dir() const { return folder_.path().string(); }

private:
    ScratchFolder folder_{"kl-net-cache"};
    std::optional<std::string> previous_;
};

}  // namespace kl::test
