#pragma once
// The local geoportal with a sparse demo cloud; its tiles, the download cache (so
// an injected fault is never hidden by a cached tile) and the outputs lie in a
// folder of the test's own.
#include <stdlib.h>

#include <filesystem>

#include "tests/support/geoportal_suite.h"
#include "tests/support/scratch_folder.h"

namespace kl::cloud::test {

class DemoGeoportal : public kl::test::GeoportalSuite {
protected:
    void SetUp() override {
        GeoportalSuite::SetUp();
        ::setenv("XDG_CACHE_HOME", (dir_ / "cache").c_str(), 1);
        server_->setConfig(demoConfig());
    }
    geoportal::ServiceConfig demoConfig() const {
        geoportal::ServiceConfig c;
        c.lidarDensity = 2.0;
        c.lidarCacheDir = (dir_ / "tiles").string();
        return c;
    }
    const kl::test::ScratchFolder scratch_{"kl_cloud_demo"};
    const std::filesystem::path dir_ = scratch_.path();
};

}  // namespace kl::cloud::test
