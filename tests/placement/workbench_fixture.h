#pragma once
// The placement tests run the add-on's code against a fresh workbench
// project with the default settings and a private diagnostics folder, and
// read the project back.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "host/core/workbench.h"
#include "shell/settings/settings.h"
#include "tests/support/host_binding.h"

namespace kl::placement_tests {

class WorkbenchFixture : public ::testing::Test {
protected:
    void SetUp() override {
        diagDir_ = std::filesystem::temp_directory_path() / ("kl_placement_diag_" + std::to_string(::getpid()));
        std::filesystem::remove_all(diagDir_);
        ::setenv("KL_DIAG_DIR", diagDir_.c_str(), 1);
        wb_ = std::make_unique<host::Workbench>();
        bindAddonToHost(&host::Workbench::hostTable());
        settings_ = settings::defaultSettings();
    }
    void TearDown() override {
        bindAddonToHost(nullptr);
        wb_.reset();
        ::unsetenv("KL_DIAG_DIR");
        std::filesystem::remove_all(diagDir_);
    }

    std::string diagFile(const char* name) const {
        std::ifstream in(diagDir_ / name);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    std::vector<const host::ElementRecord*> elements(int32_t type) const {
        std::vector<const host::ElementRecord*> out;
        for (const auto& [seq, rec] : wb_->project().elements().all())
            if (rec->element.type == type) out.push_back(rec.get());
        return out;
    }

    std::string layerName(int32_t index) const {
        for (const auto& a : wb_->project().attributes().list(KL_ATTR_LAYER))
            if (a.index == index) return a.name;
        return {};
    }

    std::filesystem::path diagDir_;
    std::unique_ptr<host::Workbench> wb_;
    settings::Settings settings_;
};

}  // namespace kl::placement_tests
