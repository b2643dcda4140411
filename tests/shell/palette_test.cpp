// Menu commands, palette control messages, lazy creation and quit, with the
// shell running under the workbench host; and the registry of workers that
// quit stops.
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <memory>
#include <stdexcept>
#include <thread>

#include "base/controller_registry.h"
#include "base/main_thread.h"
#include "base/worker_registry.h"
#include "shell/palettes.h"
#include "tests/shell/shell_fixture.h"

namespace kl::test {
namespace {

using kl::shell::CloudPalette;
using kl::shell::MapPalette;
using nlohmann::json;
using namespace std::chrono_literals;

class PaletteTest : public ShellTest {};

TEST_F(PaletteTest, StartRegistersBothPalettesUnderTheirGuidsAndCreatesNone) {
    EXPECT_STREQ(env.name, "Geodrop");
    ASSERT_NE(host.menuHandler(kMap), nullptr);
    const json registrations = host.state()["registrations"];
    ASSERT_EQ(registrations.size(), 2u);
    for (const json& r : registrations) EXPECT_EQ(r["flags"], 1015);
    EXPECT_EQ(registrations[0]["guid"].get<std::string>().substr(1, 8), "6B1C0A7E");
    EXPECT_EQ(registrations[1]["guid"].get<std::string>().substr(1, 8), "BE37AFB8");
    EXPECT_EQ(paletteCount(), 0u) << "palettes are created lazily";
}

// The host refuses a disabled item; its handler is called here as a host that
// disables items while they run would. Other items open the web site or do nothing.
TEST_F(PaletteTest, CheckMarkKeepsTheOtherFlagBitsAndItemsWithoutAPaletteCreateNone) {
    WorkbenchHost::table()->SetMenuItemFlags(kMap, 2, KL_MENUFLAG_DISABLED);
    const KlMenuHandler handler = host.menuHandler(kMap);
    handler(kMap, 2);
    EXPECT_EQ(menuFlags(2), KL_MENUFLAG_DISABLED | KL_MENUFLAG_CHECKED);
    handler(kMap, 2);
    EXPECT_EQ(menuFlags(2), KL_MENUFLAG_DISABLED);
    EXPECT_EQ(handler(32000, 1), KL_NOERROR);
    EXPECT_EQ(handler(kMap, 9), KL_NOERROR);
    menu(4);
    EXPECT_EQ(host.state()["shellOpened"], json::parse(R"([{"verb":"open","address":"https://ordvik.pl/","showMode":1,
                                                          "launched":false}])"));
    EXPECT_EQ(paletteCount(), 1u) << "only the cloud palette of item 2";
}

// The close box is the host's control message (the table below), seen in the browser.
TEST_F(PaletteTest, ResizeGrowsTheBrowser) {
    menu(1);
    ASSERT_EQ(host.resize(palette(kMap)["id"], 40, -20), KL_NOERROR);
    const json p = palette(kMap), browserItem = p["items"][p["browsers"][0]["item"].get<size_t>() - 1];
    EXPECT_EQ(browserItem["w"], 940);
    EXPECT_EQ(browserItem["h"], 580);
}

// Menu items 1 and 2, the host's control messages to either palette and quit,
// in turn; then what each palette shows.
constexpr int32_t kMap = ShellTest::kMap, kCloud = ShellTest::kCloud, kQuitStep = 0;
struct Step {
    int32_t target;  // 1 or 2: that menu item; kMap or kCloud: a control message; kQuitStep: quit
    int32_t message = 0;
};
struct ControlCase {
    const char* name;
    std::vector<Step> steps;
    const char* state;  // as paletteState() gives it
};
void PrintTo(const ControlCase& c, std::ostream* os) { *os << c.name; }

const Step kMapHide{kMap, KL_PALETTE_HIDE_BEGIN}, kMapShow{kMap, KL_PALETTE_HIDE_END}, kMapOpen{kMap, KL_PALETTE_OPEN};
const Step kMapDisable{kMap, KL_PALETTE_DISABLE_BEGIN}, kMapEnable{kMap, KL_PALETTE_DISABLE_END};
const ControlCase kControlCases[] = {
    {"menu again hides and keeps the instance", {{1}, {1}}, "map hidden, cloud none, 1"},
    {"menu a third time shows the same one", {{1}, {1}, {1}}, "map shown, cloud none, 1"},
    {"messages without an instance create nothing",
     {{kMap, KL_PALETTE_CLOSE}, kMapShow, kMapDisable, kMapEnable, {kMap, 99}}, "map none, cloud none, 0"},
    {"open creates once", {kMapOpen, kMapOpen}, "map shown, cloud none, 1"},
    {"close keeps the instance", {{1}, {kMap, KL_PALETTE_CLOSE}}, "map hidden, cloud none, 1"},
    {"temporary hide", {{1}, kMapHide}, "map hidden, cloud none, 1"},
    {"temporary hide restores only a visible palette",
     {{1}, {2}, {2}, kMapHide, {kCloud, KL_PALETTE_HIDE_BEGIN}, kMapShow, {kCloud, KL_PALETTE_HIDE_END}},
     "map shown, cloud hidden, 2"},
    {"a hide without an instance forgets the earlier visibility",
     {{1}, kMapHide, {kQuitStep}, kMapHide, kMapOpen, {1}, kMapShow}, "map hidden, cloud none, 1"},
    {"disabling a visible palette", {{1}, kMapDisable}, "map shown disabled, cloud none, 1"},
    {"enabling it again", {{1}, kMapDisable, kMapEnable}, "map shown, cloud none, 1"},
    {"disabling a hidden palette does nothing", {{1}, {1}, kMapDisable}, "map hidden, cloud none, 1"},
};

class PaletteControl : public ShellTest, public ::testing::WithParamInterface<ControlCase> {
protected:
    // Each palette "none", "shown" or "hidden", and "disabled", then how many
    // there are; the check marks and the answer to the host's visibility
    // question must agree.
    std::string paletteState() {
        const auto one = [this](int32_t dialog, bool exists, int32_t item) -> std::string {
            EXPECT_EQ((menuFlags(item) & KL_MENUFLAG_CHECKED) != 0, visible(dialog));
            const bool enabled = palette(dialog).value("enabled", true);
            return exists ? std::string(visible(dialog) ? "shown" : "hidden") + (enabled ? "" : " disabled") : "none";
        };
        int32_t answer = 7;
        EXPECT_EQ(control(kMap, KL_PALETTE_IS_VISIBLE, &answer), KL_NOERROR);
        EXPECT_EQ(answer == 1, visible(kMap));
        return "map " + one(kMap, MapPalette::hasInstance(), 1) + ", cloud " +
               one(kCloud, CloudPalette::hasInstance(), 2) + ", " + std::to_string(paletteCount());
    }
};

TEST_P(PaletteControl, PalettesAndCheckMarksFollowTheMenuAndTheHost) {
    for (const Step& s : GetParam().steps) {
        if (s.target == kQuitStep)
            host.projectEvent(KL_EVENT_QUIT);
        else if (s.target == 1 || s.target == 2)
            EXPECT_EQ(menu(s.target), KL_NOERROR);
        else
            EXPECT_EQ(control(s.target, s.message), KL_NOERROR);
    }
    EXPECT_EQ(paletteState(), GetParam().state);
}

INSTANTIATE_TEST_SUITE_P(Steps, PaletteControl, ::testing::ValuesIn(kControlCases));

TEST_F(PaletteTest, QuitTearsBothPalettesDownOnceAndOtherEventsLeaveThem) {
    menu(1);
    EXPECT_TRUE(host.state()["addon"]["keepInMemory"].get<bool>());
    menu(2);
    host.projectEvent(1);
    host.projectEvent(KL_EVENT_QUIT - 1);
    EXPECT_TRUE(MapPalette::hasInstance());
    EXPECT_TRUE(CloudPalette::hasInstance());

    EXPECT_EQ(host.projectEvent(KL_EVENT_QUIT), 1);
    EXPECT_FALSE(MapPalette::hasInstance());
    EXPECT_FALSE(CloudPalette::hasInstance());
    EXPECT_EQ(paletteCount(), 0u);
    EXPECT_TRUE(host.reports().empty());
    EXPECT_NO_THROW(MapPalette::sendIfAlive("progress", json::object()));
    EXPECT_THROW(CloudPalette::getInstance(), kl::shell::NullReferenceError);
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

// The map page's pong carries the version the workbench import test waits
// for; the cloud palette's has none but the same build.
TEST_F(PaletteTest, PageMessagesAreAnsweredByTheirOwnPalettesHandlers) {
    menu(1);
    menu(2);
    post(kMap, R"({"type":"ping"})");
    post(kCloud, R"({"type":"ping"})");
    const json cloud = lastReceived(kCloud);
    EXPECT_EQ(cloud["type"], "pong");
    EXPECT_FALSE(cloud.contains("wersja"));
    EXPECT_EQ(cloud["build"], lastReceived(kMap)["build"]);
    const auto error = [](const char* msg) { return json{{"type", "error"}, {"msg", msg}}; };
    const json noop = {{"type", "noop"}};
    struct Case {
        int32_t dialog;
        std::optional<std::string> message;  // none: a post that is not a string
        json reply;
        bool opens;
    };
    const Case cases[] = {
        {kMap, R"({"type":"openExternal","url":"https://geoportal.gov.pl/"})", noop, true},
        {kMap, R"({"type":"openExternal","url":"http://127.0.0.1/x"})", noop, true},
        {kMap, R"({"type":"openExternal","url":"file:///etc/passwd"})", noop, false},
        {kMap, R"({"type":"openExternal","url":"ftp://example.org/"})", noop, false},
        {kMap, R"({"type":"openExternal","url":"HTTPS://upper.case/"})", noop, false},
        {kMap, R"({"type":"openExternal"})", noop, false},
        {kMap, R"({"type":"openExternal","url":42})", error("Pole \"url\" musi byc tekstem."), false},
        {kCloud, R"({"type":"openExternal","url":"https://a.pl/"})", error("Brak obslugi wiadomosci: openExternal"), false},
        {kMap, std::nullopt, error("Nieprawidlowa wiadomosc z UI (JSON)"), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message.value_or("(not a string)"));
        const auto before = host.state()["shellOpened"].size();
        post(c.dialog, c.message);
        EXPECT_EQ(lastReceived(c.dialog), c.reply);
        EXPECT_EQ(host.state()["shellOpened"].size(), before + (c.opens ? 1 : 0));
    }
    EXPECT_EQ(host.state()["shellOpened"][0]["address"], "https://geoportal.gov.pl/");
}

// Nothing an installer throws, of whatever type, may reach the host; the
// installers after it still run.
TEST_F(PaletteTest, ControllerHandlersComeAfterOwnHandlersAndBeforeTheSenderAndAThrowingOneIsSkipped) {
    static bool sawPing = false, throwing = true;
    static int installs = 0;
    shell::registerControllerHandlers(shell::PaletteKind::Cloud, [](Bridge&) {
        if (throwing) throw 42;
    });
    static const kl::shell::ControllerRegistration reg(kl::shell::PaletteKind::Cloud, [](kl::Bridge& bridge) {
        ++installs;
        sawPing = bridge.hasHandler("ping");
        bridge.send("tooEarly", json::object());  // no sender yet: dropped
        bridge.on("getInit", [](const json&) { return json{{"type", "init"}, {"lat", 52.0}}; });
    });
    EXPECT_EQ(menu(2), KL_NOERROR);
    throwing = false;
    EXPECT_NE(diagLog().find("registerHandlers failed: nieznany wyjatek\n"), std::string::npos);
    EXPECT_EQ(installs, 1);
    EXPECT_TRUE(sawPing);
    EXPECT_TRUE(received(kCloud).empty());
    post(kCloud, R"({"type":"getInit"})");
    EXPECT_EQ(lastReceived(kCloud), json({{"type", "init"}, {"lat", 52.0}}));
    menu(1);
    EXPECT_EQ(installs, 1) << "the map palette runs only its own kind";
}

TEST_F(PaletteTest, MissingResourceLeavesAnEmptyBrowserButAWorkingBridge) {
    dropResource(112);
    menu(1);  // the log line of the missing file is the unpacking test's
    EXPECT_EQ(host.reports(), std::vector<std::string>{"KARTOLINK: nie udalo sie wypakowac zasobow web."});
    EXPECT_EQ(palette(kMap)["browsers"][0]["url"], "");
    EXPECT_FALSE(std::filesystem::exists(tempDir / "KARTOLINK" / "web" / "maplibre-gl.css"));
    post(kMap, R"({"type":"ping"})");
    EXPECT_EQ(lastReceived(kMap)["type"], "pong");
    EXPECT_TRUE(visible(kMap));
}

TEST_F(PaletteTest, SendAfterThePaletteIsGoneIsDropped) {
    menu(1);
    host.runPosted();  // the page's own load
    // Modules reach the page through the channel the shell names for its kind.
    const auto sendToMap = [](json message) { shell::sendToPage(shell::PaletteKind::Map, "fetchDone", std::move(message)); };
    ASSERT_TRUE(kl::postToMain([&] { sendToMap(json{{"counts", json::object()}}); }));
    host.projectEvent(KL_EVENT_QUIT);
    EXPECT_EQ(host.runPosted(), 1u);

    menu(1);
    ASSERT_TRUE(kl::postToMain([&] { sendToMap(json{{"n", 1}}); }));
    host.runPosted();
    EXPECT_EQ(lastReceived(kMap), json({{"n", 1}, {"type", "fetchDone"}}));
}

TEST_F(PaletteTest, ThrowingPostedWorkClearsBusyAndReportsToThePalette) {
    menu(1);
    bool busy = true;
    ASSERT_TRUE(shell::postForPage(
        shell::PaletteKind::Map, []() -> void { throw std::runtime_error("zla geometria \xB3"); }, [&busy] { busy = false; }));
    host.runPosted();
    EXPECT_EQ(host.escapedExceptions(), 0u);
    EXPECT_FALSE(busy);
    EXPECT_EQ(lastReceived(kMap), json({{"type", "error"}, {"msg", "Blad wewnetrzny: zla geometria \xEF\xBF\xBD"}}));
}

// The map palette registers first; whichever registration fails ends
// initialization there with its error.
class FailingInitTest : public ShellTest, public ::testing::WithParamInterface<int> {
protected:
    FailingInitTest() { initialize = false; }
};

TEST_P(FailingInitTest, AFailingPaletteRegistrationIsTheResult) {
    host.armFault("RegisterPalette", GetParam());
    EXPECT_EQ(Initialize(), KL_ERR_GENERAL);
    EXPECT_EQ(host.state()["registrations"].size(), static_cast<size_t>(GetParam() - 1));
}

INSTANTIATE_TEST_SUITE_P(Registration, FailingInitTest, ::testing::Values(1, 2));

// A one-way signal between threads. The wait has a deadline only so that a
// broken registry fails the test instead of hanging it.
struct Gate {
    std::promise<void> opened;
    std::shared_future<void> seen = opened.get_future().share();
    void open() { opened.set_value(); }
    bool wait() const { return seen.wait_for(60s) == std::future_status::ready; }
};

// Opens its gate when the thread that armed it exits, which is after the
// thread's job, its captures and the registry's epilogue are all gone.
struct ExitSignal {
    std::shared_ptr<Gate> gate;
    ~ExitSignal() {
        if (gate) gate->open();
    }
};

TEST(WorkerRegistry, ShutdownCancelsAndJoinsEveryWorkerContainsTheirExceptionsAndRefusesNewOnesUntilReopened) {
    kl::WorkerRegistry registry;
    std::atomic<int> stopped{0};
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(registry.start("w", [&stopped](const kl::CancelToken& t) {
            while (!t.cancelled()) std::this_thread::yield();  // as a real job polls between chunks of work
            ++stopped;
        }));
    registry.start("thrower", [](const kl::CancelToken&) { throw std::runtime_error("network down"); });
    registry.start("odd", [](const kl::CancelToken&) { throw 42; });
    const auto result = registry.shutdown(5s);
    EXPECT_EQ(result.joined, 5u);
    EXPECT_EQ(result.abandoned, 0u);
    EXPECT_EQ(stopped.load(), 3);
    EXPECT_EQ(registry.running(), 0u);
    bool ran = false;
    EXPECT_FALSE(registry.start("late", [&ran](const kl::CancelToken&) { ran = true; }));
    registry.reopen();
    EXPECT_TRUE(registry.start("again", [&ran](const kl::CancelToken&) { ran = true; }));
    registry.shutdown();
    EXPECT_TRUE(ran);
}

TEST(WorkerRegistry, WorkerKeepsItsStateAliveAfterOthersLetGo) {
    kl::WorkerRegistry registry;
    struct State {
        Gate release;
        int touched = 0;
    };
    auto state = std::make_shared<State>();
    std::weak_ptr<State> watch = state;
    Gate* release = &state->release;
    using Job = std::function<void(State&, const kl::CancelToken&)>;
    registry.start("w", state, Job([](State& s, const kl::CancelToken&) {
                       s.release.wait();
                       s.touched = 1;  // still valid: the worker owns a share
                   }));
    state.reset();
    EXPECT_FALSE(watch.expired());
    release->open();
    registry.shutdown(5s);
    EXPECT_TRUE(watch.expired()) << "the share is given up when the job ends";
}

TEST(WorkerRegistry, StubbornWorkerIsAbandonedAtTheDeadlineAndOutlivesTheRegistrySafely) {
    auto release = std::make_shared<Gate>();
    auto exited = std::make_shared<Gate>();
    {
        kl::WorkerRegistry registry;
        registry.start("stubborn", [release, exited](const kl::CancelToken&) {
            thread_local ExitSignal signal{exited};
            release->wait();
        });
        const auto result = registry.shutdown(20ms);
        EXPECT_EQ(result.abandoned, 1u);
        EXPECT_EQ(result.joined, 0u);
    }
    release->open();
    EXPECT_TRUE(exited->wait()) << "the detached worker finished after its registry was gone";
}

}  // namespace
}  // namespace kl::test
