#pragma once
// The workbench's loopback HTTP server: the workbench page, its JSON API,
// and the palette browsers' pages with their script channels. Everything
// lives under /t/<token>/.
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "host/core/workbench.h"
#include "host/server/gated_server.h"

namespace kl::host {

struct ServerOptions {
    int port = 0;  // 0: any free port
    std::string token;  // empty: a random one
    std::function<void()> onQuitRequest;  // POST /api/quit
    ServeLimits limits;
};

class WorkbenchServer {
public:
    WorkbenchServer(Workbench& workbench, ServerOptions options);
    ~WorkbenchServer();
    WorkbenchServer(const WorkbenchServer&) = delete;
    WorkbenchServer& operator=(const WorkbenchServer&) = delete;

    // Binds 127.0.0.1 and serves on a thread of its own.
    bool start(std::string& error);
    // Stops serving. Main thread: keeps running posted work while the
    // requests in flight finish, so none waits for the main thread forever.
    void stop();

    int port() const { return port_; }
    const std::string& token() const { return token_; }
    // One request given as bytes, answered as a loopback connection would be.
    std::string answerBytes(std::string request) { return server_->answerBytes(std::move(request)); }
    std::string base() const { return "/t/" + token_ + "/"; }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + base(); }

private:
    void routes();
    void routeApi(const std::string& path, const httplib::Request& req, httplib::Response& res);
    void sendPicture(const std::string& guidText, httplib::Response& res);
    void answerApi(const std::string& path, const httplib::Request& req, httplib::Response& res);
    void routeBrowser(const std::string& path, const httplib::Request& req, httplib::Response& res);
    void servePageFile(int32_t browser, const std::string& rest, httplib::Response& res);
    void streamBrowser(int32_t browser, httplib::Response& res);
    void browserCalls(int32_t browser, const httplib::Request& req, httplib::Response& res);
    void browserState(int32_t browser, const httplib::Request& req, httplib::Response& res);
    void streamRevisions(httplib::Response& res);
    void serveAsset(const std::string& name, httplib::Response& res);

    Workbench& wb_;
    ServerOptions options_;
    std::string token_;
    int port_ = 0;
    std::unique_ptr<GatedServer> server_;
    std::thread thread_;
    std::atomic<bool> listening_{false};
    std::atomic<bool> stopping_{false};
};

}  // namespace kl::host
