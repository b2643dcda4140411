#pragma once
// The local geoportal with a sparse demo cloud in a private folder (tiles and the
// download cache), and the service hosts that point every request at it.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "base/service_hosts.h"
#include "tools/geoportal/geoportal_server.h"

namespace kl::cloud::test {

class DemoGeoportal {
public:
    // A private download cache, so an injected fault is never hidden by a cached tile.
    explicit DemoGeoportal(const std::string& name)
        : dir_(std::filesystem::temp_directory_path() / (name + "_" + std::to_string(::getpid()))) {
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        ::setenv("XDG_CACHE_HOME", (dir_ / "cache").c_str(), 1);
        config_.lidarDensity = 2.0;
        config_.lidarCacheDir = (dir_ / "tiles").string();
        kl::geoportal::ServerOptions options;
        options.config = config_;
        server_ = std::make_unique<kl::geoportal::GeoportalServer>(options);
        started_ = server_->start().ok;
    }
    ~DemoGeoportal() {
        server_.reset();
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    DemoGeoportal(const DemoGeoportal&) = delete;
    DemoGeoportal& operator=(const DemoGeoportal&) = delete;

    bool started() const { return started_; }
    const std::filesystem::path& dir() const { return dir_; }
    // The settings the server was started with.
    const kl::geoportal::ServiceConfig& config() const { return config_; }
    kl::geoportal::GeoportalServer& server() { return *server_; }
    kl::settings::ServiceHosts hosts() const { return kl::settings::serviceHostsWithOverride(server_->baseUrl()); }

private:
    std::filesystem::path dir_;
    kl::geoportal::ServiceConfig config_;
    std::unique_ptr<kl::geoportal::GeoportalServer> server_;
    bool started_ = false;
};

}  // namespace kl::cloud::test
