#pragma once
// A test suite against the local geoportal started in process: one server for
// the suite, service hosts that point every request at it, and each test
// starting with no faults, no special configuration and an empty request log.
#include <gtest/gtest.h>

#include "base/service_hosts.h"
#include "tools/geoportal/geoportal_server.h"

namespace kl::test {

class GeoportalSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server_ = new geoportal::GeoportalServer();
        ASSERT_TRUE(server_->start().ok);
    }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }
    void SetUp() override {
        server_->faults().clear();
        server_->log().clear();
        server_->setConfig({});
    }
    static settings::ServiceHosts hosts() { return settings::serviceHostsWithOverride(server_->baseUrl()); }

    inline static geoportal::GeoportalServer* server_ = nullptr;
};

}  // namespace kl::test
