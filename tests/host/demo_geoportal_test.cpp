// Demo mode starts the local geoportal as a child process and learns its
// address and the demo frame from its output; a child that cannot start or
// says nothing is an error, never a half-configured add-on.
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "host/demo_geoportal.h"

namespace kl::host {
namespace {

namespace fs = std::filesystem;

TEST(DemoSiteText, IsFourNumbersOrNothing) {
    const std::pair<const char*, bool> rows[] = {{"15.56456,51.26013,15.57373,51.26409", true}, {"15.5,51.2,15.6", false},
                                                 {"15.5,51.2,15.6,51.3,1", false}, {"a,b,c,d", false},
                                                 {"15.5;51.2;15.6;51.3", false}, {"", false}};
    for (const auto& [text, valid] : rows) {
        const std::optional<DemoSite> site = parseDemoSite(text);
        ASSERT_EQ(site.has_value(), valid) << text;
        if (site) {
            EXPECT_LT(site->west, site->east);
        }
    }
}

class DemoGeoportalStart : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : kVariables) ::unsetenv(name);
        work_ = fs::temp_directory_path() / ("kl-demo-test-" + std::to_string(::getpid()));
    }
    void TearDown() override {
        for (const char* name : kVariables) ::unsetenv(name);
        std::error_code ec;
        fs::remove_all(work_, ec);
    }
    static constexpr const char* kVariables[] = {"KL_SERVICE_HOSTS", "KL_SERVICE_BASE", "KL_REGISTRY_DIR"};
    fs::path work_;
};

TEST_F(DemoGeoportalStart, PointsTheEnvironmentAtTheChildAndStopsItAtTheEnd) {
    // Like the workbench, whose quit signals are blocked: the child must still
    // hear the SIGTERM of the destructor, or the end of this test never comes.
    sigset_t quit, before;
    sigemptyset(&quit);
    sigaddset(&quit, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &quit, &before);
    DemoGeoportal geoportal;
    const std::string error = geoportal.start(KL_GEOPORTAL_PATH, work_);
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    ASSERT_EQ(error, "");
    EXPECT_EQ(geoportal.baseUrl().rfind("http://127.0.0.1:", 0), 0u) << geoportal.baseUrl();
    EXPECT_EQ(std::getenv("KL_SERVICE_HOSTS"), geoportal.baseUrl());
    EXPECT_EQ(std::getenv("KL_SERVICE_BASE"), geoportal.baseUrl());
    EXPECT_EQ(std::getenv("KL_REGISTRY_DIR"), (work_ / "registry").string());
    for (const char* file : {"gesut.tsv", "bdot500.tsv", "mpzp.tsv"}) EXPECT_TRUE(fs::exists(work_ / "registry" / file));
    // The demo site lies in Poland.
    EXPECT_GT(geoportal.site().west, 14.0);
    EXPECT_LT(geoportal.site().east, 24.2);
    EXPECT_GT(geoportal.site().south, 49.0);
    EXPECT_LT(geoportal.site().north, 54.9);
}

struct FailureCase {
    const char* executable;
    const char* message;
};

class DemoGeoportalFailure : public DemoGeoportalStart, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(DemoGeoportalFailure, LeavesTheEnvironmentAlone) {
    DemoGeoportal geoportal;
    EXPECT_EQ(geoportal.start(GetParam().executable, work_).rfind(GetParam().message, 0), 0u);
    for (const char* name : kVariables) EXPECT_EQ(std::getenv(name), nullptr) << name;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DemoGeoportalFailure,
    ::testing::Values(FailureCase{"/bin/false", "Lokalny geoportal nie podal adresu ani obszaru demo."},
                      FailureCase{"/nonexistent/kartolink-geoportal", "Nie mozna uruchomic lokalnego geoportalu"}));

}  // namespace
}  // namespace kl::host
