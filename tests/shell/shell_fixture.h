#pragma once
// Per-test sandbox: fresh temporary and diagnostic folders, a fake host with
// the add-on loaded (environment check, registration, initialisation), and
// the quit event at the end so no palette outlives the test.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "shell/addon.h"
#include "tests/shell/fake_host.h"

namespace kl::test {

inline std::filesystem::path makeSandbox(const std::string& leaf) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    auto dir = std::filesystem::path(KL_BINARY_DIR) / "tests" / "shell" / "sandbox" /
               (std::string(info->test_suite_name()) + "." + info->name()) / leaf;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

inline std::string readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        tempDir = makeSandbox("tmp");
        diagDir = makeSandbox("diag");
        setenv("TMPDIR", tempDir.c_str(), 1);
        setenv("KL_DIAG_DIR", diagDir.c_str(), 1);
        fillPageResources(host);
        host.stringLists[32000] = {"Geodrop", "Opis dodatku"};
        ASSERT_EQ(CheckEnvironment(&host.table(), &env), KL_ADDON_PRELOAD);
        ASSERT_EQ(RegisterInterface(), KL_NOERROR);
        if (initialize) {
            ASSERT_EQ(Initialize(), KL_NOERROR);
        }
    }

    void TearDown() override {
        host.projectEvent(KL_EVENT_QUIT);
        kl::shell::onProjectEvent(KL_EVENT_QUIT);  // in case nothing subscribed
        FreeData();
    }

    std::string diagLog() const { return readFile(diagDir / "ordvik_web_diag.txt"); }
    KlErr menu(int32_t item) const { return host.menuHandler(32500, item); }

    bool initialize = true;
    std::filesystem::path tempDir, diagDir;
    KlEnvironment env{};
    FakeHost host;
};

}  // namespace kl::test
