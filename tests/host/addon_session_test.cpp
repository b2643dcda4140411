#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/core/addon_session.h"

namespace kl::host {
namespace {

std::vector<std::string> trace(const Workbench& wb) {
    std::vector<std::string> out;
    for (const auto& line : wb.report())
        if (line.text.rfind("test-addon: ", 0) == 0) out.push_back(line.text.substr(12));
    return out;
}

// The menu, the palette, its page and the close box are seen in the browser
// by workbench_smoke.js; here what the page does not show.
TEST(AddonSession, QuitIsDeliveredOnceThenFreeDataAndTheModuleStaysWhenAsked) {
    Workbench wb;
    AddonSession session(wb);
    ASSERT_TRUE(session.start(KL_TEST_ADDON_PATH));
    wb.menuCommand(32500, 1);  // creates the palette, which asks to stay in memory
    EXPECT_EQ(wb.sendProjectEvent(KL_EVENT_QUIT), 1);
    EXPECT_EQ(wb.sendProjectEvent(KL_EVENT_QUIT), 0);
    session.stop();
    EXPECT_EQ(trace(wb), (std::vector<std::string>{"CheckEnvironment", "RegisterInterface", "Initialize", "menu 1",
                                                   "quit", "FreeData"}));
    EXPECT_TRUE(wb.palettes().palettes().empty());
    EXPECT_TRUE(wb.keepsInMemory());
    ASSERT_NE(session.module(), nullptr);
    EXPECT_TRUE(session.module()->isOpen());
    EXPECT_TRUE(wb.executor().isShutDown());
}

TEST(AddonSession, WithoutKeepInMemoryTheModuleIsUnloadedAndAMissingOneIsAnErrorNotACrash) {
    Workbench wb;
    AddonSession session(wb);
    ASSERT_TRUE(session.start(KL_TEST_ADDON_PATH));
    session.stop();
    EXPECT_EQ(trace(wb).back(), "FreeData");
    EXPECT_FALSE(session.module()->isOpen());
    EXPECT_FALSE(wb.addon().loaded);
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

}  // namespace
}  // namespace kl::host
