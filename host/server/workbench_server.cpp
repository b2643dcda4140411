#include "host/server/workbench_server.h"

#include <httplib.h>

#include "host/server/content_types.h"
#include "host/server/security.h"
#include "host/web/web_assets.h"

namespace kl::host {
namespace {

void refuse(httplib::Response& res, int status) {
    res.status = status;
    res.set_content(status == 403 ? "forbidden\n" : "not found\n", "text/plain; charset=utf-8");
}

}  // namespace

WorkbenchServer::WorkbenchServer(Workbench& workbench, ServerOptions options)
    : wb_(workbench), options_(std::move(options)), token_(options_.token.empty() ? makeToken() : options_.token),
      server_(std::make_unique<GatedServer>(options_.limits)) {
    routes();
}

WorkbenchServer::~WorkbenchServer() {
    if (thread_.joinable()) {
        wb_.hub().closeAll();
        wb_.feed().close();
        server_->stop();
        thread_.join();
    }
}

bool WorkbenchServer::start(std::string& error) {
    server_->set_payload_max_length(size_t(64) << 20);
    // Whatever escapes a route is a fault of this server, not of the client; its
    // text stays out of the answer.
    server_->set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
        res.status = 500;
        res.set_content("{\"error\":\"internal error\"}", kJsonContentType);
    });
    if (options_.port > 0) {
        if (!server_->bind_to_port("127.0.0.1", options_.port)) {
            error = "cannot listen on 127.0.0.1:" + std::to_string(options_.port);
            return false;
        }
        port_ = options_.port;
    } else {
        port_ = server_->bind_to_any_port("127.0.0.1");
        if (port_ <= 0) {
            error = "cannot listen on 127.0.0.1";
            return false;
        }
    }
    listening_ = true;
    thread_ = std::thread([this] {
        server_->serve();
        listening_ = false;
        wb_.executor().wake();
    });
    return true;
}

void WorkbenchServer::stop() {
    if (!thread_.joinable()) return;
    stopping_ = true;
    wb_.hub().closeAll();
    wb_.feed().close();
    server_->stop();
    while (listening_) wb_.executor().runFor(std::chrono::milliseconds(20));
    thread_.join();
}

void WorkbenchServer::routes() {
    server_->set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
        const std::string prefix = base();
        const bool tokenOk = req.path.size() >= prefix.size() &&
                             tokenMatches(std::string_view(req.path).substr(3, token_.size()), token_) &&
                             req.path.compare(0, 3, "/t/") == 0 && req.path[prefix.size() - 1] == '/';
        if (!tokenOk || !allowedHost(req.get_header_value("Host"), port_) ||
            !allowedOrigin(req.get_header_value("Origin"), port_)) {
            refuse(res, 403);
            return httplib::Server::HandlerResponse::Handled;
        }
        res.set_header("Cache-Control", "no-store");
        res.set_header("Referrer-Policy", "same-origin");
        res.set_header("X-Content-Type-Options", "nosniff");
        return httplib::Server::HandlerResponse::Unhandled;
    });
    auto dispatch = [this](const httplib::Request& req, httplib::Response& res) {
        const std::string path = req.path.substr(base().size());
        if (path.empty() || path == "index.html")
            serveAsset("index.html", res);
        else if (path.rfind("api/", 0) == 0)
            routeApi(path.substr(4), req, res);
        else if (path.rfind("b/", 0) == 0 || path.rfind("bx/", 0) == 0)
            routeBrowser(path, req, res);
        else if (path == "events" && req.method == "GET")
            streamRevisions(res);
        else
            serveAsset(path, res);
    };
    server_->Get(".*", dispatch);
    server_->Post(".*", dispatch);
}

void WorkbenchServer::serveAsset(const std::string& name, httplib::Response& res) {
    const WebAsset* asset = findWebAsset(name);
    if (!asset) return refuse(res, 404);
    res.set_content(reinterpret_cast<const char*>(asset->data), asset->size, asset->contentType);
}

void WorkbenchServer::streamRevisions(httplib::Response& res) {
    res.set_header("X-Accel-Buffering", "no");
    auto seen = std::make_shared<uint64_t>(0);
    res.set_chunked_content_provider("text/event-stream", [this, seen](size_t, httplib::DataSink& sink) {
        if (stopping_ || wb_.feed().closed()) return false;
        const uint64_t now = wb_.feed().waitAfter(*seen, std::chrono::seconds(5));
        if (stopping_ || wb_.feed().closed()) return false;
        std::string chunk;
        if (now != *seen) {
            *seen = now;
            chunk = "event: revision\ndata: " + std::to_string(now) + "\n\n";
        } else {
            chunk = ": idle\n\n";
        }
        return sink.write(chunk.data(), chunk.size());
    });
}

}  // namespace kl::host
