// Demo mode starts the local geoportal as a child process and learns its
// address and the demo frame from its output; a child that cannot start or
// says nothing is an error, never a half-configured add-on. (The start that
// succeeds is the demo workbench of the browser tests.)
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "host/demo_geoportal.h"

namespace kl::host {
namespace {

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

TEST(DemoGeoportalStart, AChildThatFailsLeavesTheEnvironmentAlone) {
    const char* variables[] = {"KL_SERVICE_HOSTS", "KL_SERVICE_BASE", "KL_REGISTRY_DIR"};
    const std::pair<const char*, const char*> rows[] = {
        {"/bin/false", "Lokalny geoportal nie podal adresu ani obszaru demo."},
        {"/nonexistent/kartolink-geoportal", "Nie mozna uruchomic lokalnego geoportalu"}};
    const auto work = std::filesystem::temp_directory_path() / "kl-demo-test-never-written";
    for (const char* name : variables) ::unsetenv(name);
    for (const auto& [executable, message] : rows) {
        DemoGeoportal geoportal;
        EXPECT_EQ(geoportal.start(executable, work).rfind(message, 0), 0u) << executable;
        for (const char* name : variables) EXPECT_EQ(std::getenv(name), nullptr) << name;
    }
}

}  // namespace
}  // namespace kl::host
