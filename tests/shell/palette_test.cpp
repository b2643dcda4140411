// Menu commands, palette control messages, lazy creation and quit.
#include <gtest/gtest.h>

#include <regex>

#include "base/controller_registry.h"
#include "shell/palettes.h"
#include "base/worker_registry.h"
#include "tests/shell/shell_fixture.h"

namespace kl::test {
namespace {

using kl::shell::CloudPalette;
using kl::shell::MapPalette;
using nlohmann::json;

constexpr int32_t kMap = 32500;
constexpr int32_t kCloud = 32600;

class PaletteTest : public ShellTest {};

// "Sep 16 2026 23:36:03" (a day below 10 has a leading space).
bool isBuildStamp(const std::string& s) {
    return std::regex_match(s, std::regex("[A-Z][a-z]{2} [ 0-9][0-9] [0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}"));
}

TEST_F(PaletteTest, EnvironmentCheckLoadsNameAndInitializationRegistersMenuHandlerThenBothPalettes) {
    EXPECT_STREQ(env.name, "Geodrop");
    EXPECT_STREQ(env.description, "Opis dodatku");
    ASSERT_EQ(host.calls, (std::vector<std::string>{"RegisterMenu 32500", "InstallMenuHandler 32500",
                                                     "RegisterPalette", "RegisterPalette"}));
    const auto& map = host.registeredPalettes[0];
    const auto& cloud = host.registeredPalettes[1];
    EXPECT_EQ(map.flags, 1015);
    EXPECT_EQ(cloud.flags, 1015);
    const KlGuid mapGuid{{0x6B1C0A7Eu, 0x92D44F7Bu, 0xB1A93C58u, 0xD2E4F016u}};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(map.guid.w[i], mapGuid.w[i]);
    EXPECT_EQ(static_cast<uint32_t>(map.referenceNumber), 0x6B1C0A7Eu + 0x92D44F7Bu + 0xB1A93C58u + 0xD2E4F016u);
    EXPECT_EQ(static_cast<uint32_t>(cloud.referenceNumber), 0xBE37AFB8u + 0xAC6844F2u + 0xA7CEDB3Cu + 0xC77A178Bu);
    EXPECT_EQ(host.palettesCreated, 0) << "palettes are created lazily";
}

TEST_F(PaletteTest, MenuItemOneTogglesTheMapPaletteAndItsCheckMark) {
    EXPECT_EQ(menu(1), KL_NOERROR);
    ASSERT_TRUE(MapPalette::hasInstance());
    EXPECT_TRUE(host.liveDialog(kMap)->visible);
    EXPECT_TRUE(host.checked(1));
    EXPECT_FALSE(host.checked(2));

    EXPECT_EQ(menu(1), KL_NOERROR);
    EXPECT_TRUE(MapPalette::hasInstance());
    EXPECT_FALSE(host.liveDialog(kMap)->visible);
    EXPECT_FALSE(host.checked(1));

    menu(1);
    EXPECT_TRUE(host.liveDialog(kMap)->visible);
    EXPECT_TRUE(host.checked(1));
    EXPECT_EQ(host.palettesCreated, 1);
    EXPECT_FALSE(CloudPalette::hasInstance());
}

TEST_F(PaletteTest, CheckMarkKeepsTheOtherFlagBits) {
    host.flags[{32500, 2}] = KL_MENUFLAG_DISABLED;
    menu(2);
    EXPECT_EQ(host.menuFlags(2), KL_MENUFLAG_DISABLED | KL_MENUFLAG_CHECKED);
    menu(2);
    EXPECT_EQ(host.menuFlags(2), KL_MENUFLAG_DISABLED);
}

TEST_F(PaletteTest, ItemsWithoutAPaletteOpenTheWebSiteOrDoNothing) {
    EXPECT_EQ(host.menuHandler(32000, 1), KL_NOERROR);
    EXPECT_EQ(menu(9), KL_NOERROR);
    menu(3);  // the cleanup asks first; a host without alerts cannot ask, so nothing happens
    EXPECT_TRUE(host.reports.empty());
    menu(4);
    EXPECT_EQ(host.shellOpens, std::vector<std::string>{"open https://ordvik.pl/ 1"});
    EXPECT_EQ(host.palettesCreated, 0);
}

TEST_F(PaletteTest, ResizeGrowsTheBrowserAndTheCloseBoxHidesAndClearsTheCheckMarkButKeepsTheInstance) {
    menu(1);
    FakePalette* dialog = host.liveDialog(kMap);
    ASSERT_TRUE(dialog->hasObserver);
    dialog->observer.resized(dialog->observer.ctx, 40, -20);
    EXPECT_EQ(dialog->resizes, (std::vector<std::pair<int32_t, int32_t>>{{40, -20}}));
    EXPECT_EQ(dialog->observer.closeRequested(dialog->observer.ctx), 1);
    EXPECT_FALSE(dialog->visible);
    EXPECT_FALSE(host.checked(1));
    EXPECT_TRUE(MapPalette::hasInstance());
}

TEST_F(PaletteTest, VisibilityQueryAndOpenBeforeAnyInstance) {
    int32_t visible = 7;
    EXPECT_EQ(host.control(kMap, KL_PALETTE_IS_VISIBLE, reinterpret_cast<intptr_t>(&visible)), KL_NOERROR);
    EXPECT_EQ(visible, 0);
    EXPECT_FALSE(MapPalette::hasInstance());
    for (int32_t m : {KL_PALETTE_CLOSE, KL_PALETTE_HIDE_END, KL_PALETTE_DISABLE_BEGIN, KL_PALETTE_DISABLE_END, 99})
        EXPECT_EQ(host.control(kMap, m), KL_NOERROR);
    EXPECT_EQ(host.palettesCreated, 0);

    EXPECT_EQ(host.control(kMap, KL_PALETTE_OPEN), KL_NOERROR);
    ASSERT_TRUE(MapPalette::hasInstance());
    EXPECT_TRUE(host.checked(1));
    host.control(kMap, KL_PALETTE_IS_VISIBLE, reinterpret_cast<intptr_t>(&visible));
    EXPECT_EQ(visible, 1);
    host.control(kMap, KL_PALETTE_OPEN);
    EXPECT_EQ(host.palettesCreated, 1);
}

TEST_F(PaletteTest, TemporaryHideRestoresOnlyAPaletteThatWasVisible) {
    menu(1);  // map visible
    menu(2);
    menu(2);  // cloud exists, hidden
    host.control(kMap, KL_PALETTE_HIDE_BEGIN);
    host.control(kCloud, KL_PALETTE_HIDE_BEGIN);
    EXPECT_FALSE(host.liveDialog(kMap)->visible);
    EXPECT_FALSE(host.checked(1));
    host.control(kMap, KL_PALETTE_HIDE_END);
    host.control(kCloud, KL_PALETTE_HIDE_END);
    EXPECT_TRUE(host.liveDialog(kMap)->visible);
    EXPECT_TRUE(host.checked(1));
    EXPECT_FALSE(host.liveDialog(kCloud)->visible);
    EXPECT_FALSE(host.checked(2));
}

TEST_F(PaletteTest, TemporaryHideWithoutInstanceForgetsEarlierVisibility) {
    menu(1);
    host.control(kMap, KL_PALETTE_HIDE_BEGIN);  // remembers "visible"
    host.projectEvent(KL_EVENT_QUIT);
    host.control(kMap, KL_PALETTE_HIDE_BEGIN);  // no instance: flag cleared
    host.control(kMap, KL_PALETTE_OPEN);
    menu(1);  // hidden again
    host.control(kMap, KL_PALETTE_HIDE_END);
    EXPECT_FALSE(host.liveDialog(kMap)->visible);
}

TEST_F(PaletteTest, DisablingItemsOnlyTouchesAVisiblePalette) {
    menu(1);
    host.control(kMap, KL_PALETTE_DISABLE_BEGIN);
    EXPECT_FALSE(host.liveDialog(kMap)->itemsEnabled);
    host.control(kMap, KL_PALETTE_DISABLE_END);
    EXPECT_TRUE(host.liveDialog(kMap)->itemsEnabled);
    menu(1);
    host.control(kMap, KL_PALETTE_DISABLE_BEGIN);
    EXPECT_TRUE(host.liveDialog(kMap)->itemsEnabled);
    host.control(kMap, KL_PALETTE_CLOSE);
    EXPECT_TRUE(MapPalette::hasInstance());
}

TEST_F(PaletteTest, CreationSubscribesToQuitOnceAndQuitTearsBothPalettesDownOnceAndIgnoresOtherEvents) {
    menu(1);
    EXPECT_EQ(host.eventHandlers.size(), 1u);
    EXPECT_GE(host.keepInMemory, 2);
    menu(1);
    EXPECT_EQ(host.eventHandlers.size(), 1u);
    menu(1);
    menu(2);
    FakePalette* map = host.liveDialog(kMap);
    FakeBrowser* mapBrowser = host.liveBrowser(kMap);
    host.projectEvent(1);
    host.projectEvent(KL_EVENT_QUIT - 1);
    EXPECT_TRUE(MapPalette::hasInstance());
    EXPECT_TRUE(CloudPalette::hasInstance());
    EXPECT_FALSE(map->destroyed);

    host.projectEvent(KL_EVENT_QUIT);  // both palettes subscribed: two calls
    EXPECT_FALSE(MapPalette::hasInstance());
    EXPECT_FALSE(CloudPalette::hasInstance());
    EXPECT_TRUE(map->destroyed);
    EXPECT_FALSE(map->hasObserver);
    EXPECT_TRUE(mapBrowser->destroyed);
    EXPECT_EQ(host.palettes.size(), 2u);
    EXPECT_EQ(host.liveDialog(kMap), nullptr);
    EXPECT_NO_THROW(MapPalette::sendIfAlive("progress", json::object()));
    try {
        CloudPalette::getInstance();
        FAIL();
    } catch (const kl::shell::NullReferenceError& e) {
        EXPECT_STREQ(e.what(), "Null reference.");
    }
}

TEST_F(PaletteTest, QuitStopsRunningWorkersBeforeThePalettesGo) {
    menu(1);
    auto state = std::make_shared<std::atomic<int>>(0);
    auto token = kl::WorkerRegistry::instance().start(
        "fetch", state, std::function<void(std::atomic<int>&, const kl::CancelToken&)>(
                            [](std::atomic<int>& s, const kl::CancelToken& t) {
                                while (!t.cancelled()) std::this_thread::yield();
                                s = MapPalette::hasInstance() ? 1 : 2;
                            }));
    ASSERT_TRUE(token.has_value());
    host.projectEvent(KL_EVENT_QUIT);
    EXPECT_TRUE(token->cancelled());
    EXPECT_EQ(kl::WorkerRegistry::instance().running(), 0u);
    EXPECT_EQ(state->load(), 1) << "the worker saw the palette still alive when it stopped";
}

TEST_F(PaletteTest, BrowserGetsScriptObjectAndEncodedFileAddress) {
    menu(1);
    FakeBrowser* browser = host.liveBrowser(kMap);
    ASSERT_NE(browser, nullptr);
    EXPECT_EQ(browser->objectName, "GIS");
    EXPECT_EQ(browser->functionName, "postMessage");
    EXPECT_EQ(browser->url, "file://" + (tempDir / "KARTOLINK" / "web" / "map.html").string());
    EXPECT_EQ(readFile(tempDir / "KARTOLINK" / "web" / "map.js"), host.dataResources[101]);
    EXPECT_NE(diagLog().find("LoadURL=" + browser->url + "\n"), std::string::npos);
    menu(2);
    EXPECT_EQ(host.liveBrowser(kCloud)->url, "file://" + (tempDir / "Ordvik_Cloud" / "web" / "cloud.html").string());
    EXPECT_FALSE(std::filesystem::exists(tempDir / "Ordvik_Cloud" / "web" / "maplibre-gl.js"));
}

TEST_F(PaletteTest, PingAnswersPongWithVersionAndBuildStamp) {
    menu(1);
    menu(2);
    host.liveBrowser(kMap)->post(R"({"type":"ping"})");
    host.liveBrowser(kCloud)->post(R"({"type":"ping"})");
    const json map = host.liveBrowser(kMap)->lastReceived();
    const json cloud = host.liveBrowser(kCloud)->lastReceived();
    EXPECT_EQ(map["type"], "pong");
    EXPECT_EQ(map["wersja"], "1.8.0");
    EXPECT_TRUE(isBuildStamp(map["build"].get<std::string>())) << map;
    EXPECT_EQ(cloud["type"], "pong");
    EXPECT_FALSE(cloud.contains("wersja"));
    EXPECT_EQ(cloud["build"], map["build"]);
    // A posted value that is not a string is the invalid message.
    FakeBrowser* browser = host.liveBrowser(kMap);
    browser->function(browser->functionCtx, nullptr, 0, 0);
    EXPECT_EQ(browser->lastReceived(), json({{"type", "error"}, {"msg", "Nieprawidlowa wiadomosc z UI (JSON)"}}));
}

TEST_F(PaletteTest, OpenExternalOpensOnlyWebAddressesAndAlwaysSaysNoop) {
    menu(1);
    menu(2);
    FakeBrowser* browser = host.liveBrowser(kMap);
    struct Case {
        const char* message;
        bool opens;
    };
    const Case cases[] = {
        {R"({"type":"openExternal","url":"https://geoportal.gov.pl/"})", true},
        {R"({"type":"openExternal","url":"http://127.0.0.1/x"})", true},
        {R"({"type":"openExternal","url":"file:///etc/passwd"})", false},
        {R"({"type":"openExternal","url":"ftp://example.org/"})", false},
        {R"({"type":"openExternal","url":"HTTPS://upper.case/"})", false},
        {R"({"type":"openExternal"})", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        const auto before = host.shellOpens.size();
        browser->post(c.message);
        EXPECT_EQ(browser->lastReceived(), json({{"type", "noop"}}));
        EXPECT_EQ(host.shellOpens.size(), before + (c.opens ? 1 : 0));
    }
    EXPECT_EQ(host.shellOpens.front(), "open https://geoportal.gov.pl/ 1");
    browser->post(R"({"type":"openExternal","url":42})");
    EXPECT_EQ(browser->lastReceived()["type"], "error");
    EXPECT_EQ(browser->lastReceived()["msg"], "Pole \"url\" musi byc tekstem.");
    host.liveBrowser(kCloud)->post(R"({"type":"openExternal","url":"https://a.pl/"})");
    EXPECT_EQ(host.liveBrowser(kCloud)->lastReceived()["msg"], "Brak obslugi wiadomosci: openExternal");
}

TEST_F(PaletteTest, ControllerHandlersComeAfterOwnHandlersAndBeforeTheSender) {
    static bool sawPing = false;
    static int installs = 0;
    static const kl::shell::ControllerRegistration reg(kl::shell::PaletteKind::Cloud, [](kl::Bridge& bridge) {
        ++installs;
        sawPing = bridge.hasHandler("ping");
        bridge.send("tooEarly", json::object());  // no sender yet: dropped
        bridge.on("getInit", [](const json&) { return json{{"type", "init"}, {"lat", 52.0}}; });
    });
    menu(2);
    EXPECT_EQ(installs, 1);
    EXPECT_TRUE(sawPing);
    FakeBrowser* browser = host.liveBrowser(kCloud);
    EXPECT_TRUE(browser->scripts.empty());
    browser->post(R"({"type":"getInit"})");
    EXPECT_EQ(browser->lastReceived(), json({{"type", "init"}, {"lat", 52.0}}));
    menu(1);
    EXPECT_EQ(installs, 1) << "the map palette runs only its own kind";
}

TEST_F(PaletteTest, MissingResourceLeavesAnEmptyBrowserButAWorkingBridge) {
    host.dataResources.erase(112);
    menu(1);
    const std::string log = diagLog();
    EXPECT_NE(log.find("RSLoadResource NULL id=112 file=maplibre-gl.js\n"), std::string::npos) << log;
    EXPECT_EQ(host.reports, std::vector<std::string>{"KARTOLINK: nie udalo sie wypakowac zasobow web."});
    FakeBrowser* browser = host.liveBrowser(kMap);
    EXPECT_TRUE(browser->url.empty());
    EXPECT_FALSE(std::filesystem::exists(tempDir / "KARTOLINK" / "web" / "maplibre-gl.css"));
    browser->post(R"({"type":"ping"})");
    EXPECT_EQ(browser->lastReceived()["type"], "pong");
    EXPECT_TRUE(host.liveDialog(kMap)->visible);
}

TEST_F(PaletteTest, BrowserEventsOnlyWriteTheLog) {
    menu(1);
    const KlBrowserEvents& events = host.liveBrowser(kMap)->events;
    events.loadError(events.ctx, -105, "file:///x/map.html");
    events.loadingState(events.ctx, 1);
    events.loadingState(events.ctx, 0);
    const std::string log = diagLog();
    EXPECT_NE(log.find("onLoadError code=-105 url=file:///x/map.html\n"), std::string::npos);
    EXPECT_NE(log.find("onLoadingState isLoading=1\nonLoadingState isLoading=0\n"), std::string::npos);
    EXPECT_TRUE(host.reports.empty());
}

TEST_F(PaletteTest, SendAfterThePaletteIsGoneIsDropped) {
    menu(1);
    FakeBrowser* browser = host.liveBrowser(kMap);
    // Modules reach the page through the channel the shell names for its kind.
    const auto sendToMap = [](json message) { shell::sendToPage(shell::PaletteKind::Map, "fetchDone", std::move(message)); };
    ASSERT_TRUE(kl::postToMain([&] { sendToMap(json{{"counts", json::object()}}); }));
    host.projectEvent(KL_EVENT_QUIT);
    const auto scriptsAtQuit = browser->scripts.size();
    EXPECT_EQ(host.runPosted(), 1u);
    EXPECT_EQ(browser->scripts.size(), scriptsAtQuit);

    menu(1);
    ASSERT_TRUE(kl::postToMain([&] { sendToMap(json{{"n", 1}}); }));
    host.runPosted();
    EXPECT_EQ(host.liveBrowser(kMap)->lastReceived(), json({{"n", 1}, {"type", "fetchDone"}}));
}

TEST_F(PaletteTest, ThrowingPostedWorkClearsBusyAndReportsToThePalette) {
    menu(1);
    bool busy = true;
    ASSERT_TRUE(shell::postForPage(
        shell::PaletteKind::Map, []() -> void { throw std::runtime_error("zla geometria \xB3"); }, [&busy] { busy = false; }));
    EXPECT_NO_THROW(host.runPosted());
    EXPECT_FALSE(busy);
    EXPECT_EQ(host.liveBrowser(kMap)->lastReceived(),
              json({{"type", "error"}, {"msg", "Blad wewnetrzny: zla geometria \xEF\xBF\xBD"}}));
}

// Nothing a module throws, of whatever type, may reach the host.
TEST_F(PaletteTest, AnInstallerThrowingAnythingIsSkippedAndThePaletteStillOpens) {
    static bool throwing = false;
    shell::registerControllerHandlers(shell::PaletteKind::Cloud, [](Bridge&) {
        if (throwing) throw 42;
    });
    throwing = true;
    EXPECT_EQ(menu(2), KL_NOERROR);
    throwing = false;
    EXPECT_TRUE(CloudPalette::hasInstance());
    EXPECT_NE(diagLog().find("registerHandlers failed: nieznany wyjatek\n"), std::string::npos);
}

class FailingInitTest : public ShellTest {
protected:
    FailingInitTest() { initialize = false; }
};

// The map palette registers first; whichever registration fails ends
// initialization there with its error.
TEST_F(FailingInitTest, AFailingPaletteRegistrationIsTheResult) {
    for (int failing : {1, 2}) {
        host.registeredPalettes.clear();
        host.failRegisterPaletteAt = failing;
        EXPECT_EQ(Initialize(), KL_ERR_GENERAL);
        EXPECT_EQ(host.registeredPalettes.size(), static_cast<size_t>(failing));
    }
}

}  // namespace
}  // namespace kl::test
