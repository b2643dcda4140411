#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "host/core/addon_session.h"
#include "host/demo_geoportal.h"

namespace kl::host {
namespace {

// The menu, the palette, its page and the close box are seen in the browser
// by workbench_smoke.js; here what the page does not show: quit delivered
// once, then FreeData, and the module kept only when the add-on asks.
TEST(AddonSession, QuitIsDeliveredOnceThenFreeDataAndTheModuleStaysOnlyWhenAsked) {
    for (const bool palette : {true, false}) {
        SCOPED_TRACE(palette);
        Workbench wb;
        AddonSession session(wb);
        ASSERT_TRUE(session.start(KL_TEST_ADDON_PATH));
        if (palette) wb.menuCommand(32500, 1);  // creates the palette, which asks for quit and to stay in memory
        EXPECT_EQ(wb.sendProjectEvent(KL_EVENT_QUIT), palette ? 1 : 0);
        EXPECT_EQ(wb.sendProjectEvent(KL_EVENT_QUIT), 0);
        session.stop();
        const std::vector<std::string> calls = {"CheckEnvironment", "RegisterInterface", "Initialize", "FreeData"},
                                       withPalette = {"CheckEnvironment", "RegisterInterface", "Initialize", "menu 1",
                                                      "quit", "FreeData"};
        std::vector<std::string> trace;
        for (const auto& line : wb.report())
            if (line.text.rfind("test-addon: ", 0) == 0) trace.push_back(line.text.substr(12));
        EXPECT_EQ(trace, palette ? withPalette : calls);
        EXPECT_TRUE(wb.palettes().palettes().empty());
        EXPECT_EQ(wb.keepsInMemory(), palette);
        EXPECT_EQ(session.module()->isOpen(), palette);
        EXPECT_TRUE(palette || !wb.addon().loaded);
        EXPECT_TRUE(wb.executor().isShutDown());
    }
    Workbench other;
    AddonSession missing(other);
    EXPECT_FALSE(missing.start("/nonexistent/libnothing.so"));
    EXPECT_NE(other.addon().error.find("cannot load"), std::string::npos);
    EXPECT_FALSE(other.addon().loaded);
}

TEST(AddonSession, ArmedFaultFailsTheNthCallOnly) {
    Workbench wb;
    AddonSession session(wb);
    ASSERT_TRUE(session.start(KL_TEST_ADDON_PATH));
    // each command creates a polyline, a slab and a morph: the fifth creation is the second command's slab
    wb.faults().arm({"CreateElement", 5, KL_ERR_MEMFULL, false, 0});
    wb.menuCommand(32500, 2);  // fine
    wb.menuCommand(32500, 2);  // fails halfway: its polyline goes with the rolled-back step
    wb.menuCommand(32500, 2);
    EXPECT_EQ(wb.project().elements().size(), 6u);
    EXPECT_EQ(wb.project().journal().done().size(), 2u);
    EXPECT_EQ(wb.project().memos().live(), 0u);
}

// Demo mode starts the local geoportal as a child process and learns its
// address and the demo frame from its output; a child that cannot start or
// says nothing is an error, never a half-configured add-on. (The start that
// succeeds is the demo workbench of the browser tests.)

TEST(DemoSiteText, IsFourNumbersOrNothing) {
    const std::pair<const char*, bool> rows[] = {{"15.56456,51.26013,15.57373,51.26409", true}, {"15.5,51.2,15.6", false},
                                                 {"15.5,51.2,15.6,51.3,1", false}, {"a,b,c,d", false},
                                                 {"15.5;51.2;15.6;51.3", false}, {"", false}};
    for (const auto& [text, valid] : rows) {
        const std::optional<DemoSite> site = parseDemoSite(text);
        ASSERT_EQ(site.has_value(), valid) << text;
        EXPECT_TRUE(!site || site->west < site->east);
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
