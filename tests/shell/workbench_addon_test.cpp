// The built add-on inside the workbench host: the same calls a user's menu
// clicks and the page make, through the real host-function table.
#include <gtest/gtest.h>

#include "host/core/addon_session.h"
#include "host/core/workbench.h"
#include "tests/shell/shell_fixture.h"

namespace kl::test {
namespace {

using nlohmann::json;

int32_t menuFlags(kl::host::Workbench& wb, size_t item) { return wb.menus().find(32500)->items.at(item - 1).flags; }

TEST(WorkbenchAddon, MapPaletteOpensAnswersPingAndDiesAtQuit) {
    const auto tmp = makeSandbox("tmp zażółć #1 100%");
    setenv("TMPDIR", tmp.c_str(), 1);
    setenv("KL_DIAG_DIR", makeSandbox("diag").c_str(), 1);
    kl::host::Workbench wb;
    kl::host::AddonSession session(wb);
    ASSERT_TRUE(session.start(KL_ADDON_MODULE)) << wb.addon().error;
    EXPECT_EQ(wb.addon().name, "Geodrop");
    EXPECT_TRUE(wb.palettes().palettes().empty());

    ASSERT_EQ(wb.menuCommand(32500, 1), KL_NOERROR);
    ASSERT_EQ(wb.palettes().palettes().size(), 1u);
    KlPalette* palette = wb.palettes().palettes()[0];
    EXPECT_TRUE(palette->visible);
    EXPECT_EQ(menuFlags(wb, 1) & KL_MENUFLAG_CHECKED, KL_MENUFLAG_CHECKED);
    const auto browsers = wb.palettes().browsersOf(palette);
    ASSERT_EQ(browsers.size(), 1u);
    EXPECT_EQ(browsers[0]->folder, tmp / "KARTOLINK" / "web") << browsers[0]->url;
    EXPECT_EQ(browsers[0]->startFile, "map.html");

    const int32_t id = browsers[0]->id;
    const auto stream = wb.hub().attachStream(id);
    ASSERT_TRUE(stream);
    wb.pageCall(id, "GIS", "postMessage", std::string(R"({"type":"ping"})"));
    wb.executor().runPending();
    bool sawPong = false;
    for (int round = 0; round < 5 && !sawPong; ++round) {
        const auto events = wb.hub().next(id, *stream, std::chrono::milliseconds(200));
        if (!events) break;
        for (const auto& e : *events) {
            if (e.kind != kl::host::PageEvent::Script || e.text.rfind("GISBridge.receive(", 0) != 0) continue;
            const json msg = json::parse(e.text.substr(18, e.text.size() - 18 - 2));
            if (msg["type"] == "pong") {
                EXPECT_EQ(msg["wersja"], "1.8.0");
                sawPong = true;
            }
        }
    }
    EXPECT_TRUE(sawPong);

    wb.menuCommand(32500, 1);
    EXPECT_FALSE(palette->visible);
    EXPECT_EQ(menuFlags(wb, 1) & KL_MENUFLAG_CHECKED, 0);

    session.stop();
    EXPECT_TRUE(wb.palettes().palettes().empty());
}

}  // namespace
}  // namespace kl::test
