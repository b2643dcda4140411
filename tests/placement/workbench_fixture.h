#pragma once
// The placement tests run the add-on's code against a fresh workbench
// project with the default settings, and read the project back.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "host/core/workbench.h"
#include "shell/settings/settings.h"
#include "tests/support/host_binding.h"

namespace kl::placement_tests {

class WorkbenchFixture : public ::testing::Test {
protected:
    void SetUp() override {
        wb_ = std::make_unique<host::Workbench>();
        bindAddonToHost(&host::Workbench::hostTable());
        settings_ = settings::defaultSettings();
    }
    void TearDown() override {
        bindAddonToHost(nullptr);
        wb_.reset();
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

    std::unique_ptr<host::Workbench> wb_;
    settings::Settings settings_;
};

}  // namespace kl::placement_tests
