#pragma once
// The local geoportal started once for a test suite and asked through the
// plain client. Its LiDAR tiles are cached in a folder of the suite's own;
// each test starts without faults, with an empty log and the suite's
// configuration.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/geoportal/fixture_client.h"
#include "tools/geoportal/geoportal_server.h"

namespace kl::geoportal::testing {

class LocalGeoportal : public ::testing::Test {
protected:
    // Called by each suite's SetUpTestSuite; the cache folder lies in the build tree.
    static void start(const std::string& cacheName, ServiceConfig config = {}) {
        cacheDir = (std::filesystem::path(KL_BINARY_DIR) / cacheName).string();
        std::filesystem::remove_all(cacheDir);
        config.lidarCacheDir = cacheDir;
        suiteConfig = config;
        server = new GeoportalServer();
        const auto started = server->start();
        ASSERT_TRUE(started.ok) << started.message;
        server->setConfig(suiteConfig);
    }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
        std::filesystem::remove_all(cacheDir);
    }
    void SetUp() override {
        server->faults().clear();
        server->log().clear();
        server->setConfig(suiteConfig);
    }
    static RawReply get(const std::string& target, int timeoutMs = 60000) {
        return rawGet(server->port(), target, timeoutMs);
    }

    inline static GeoportalServer* server = nullptr;
    inline static std::string cacheDir;
    inline static ServiceConfig suiteConfig;
};

}  // namespace kl::geoportal::testing
