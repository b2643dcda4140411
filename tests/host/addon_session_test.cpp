// The add-on's life in the workbench: loading and quit, the main thread it
// posts its work to, the alerts it raises, and demo mode's local geoportal.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "host/core/addon_session.h"
#include "host/core/executor.h"
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

// Posts from many threads run in each thread's order; tasks posted by tasks
// run in the same pass; a throwing task stops nothing.
TEST(Executor, RunsPostsInOrderAndAThrowingTaskStopsNothing) {
    MainThreadExecutor ex;
    std::vector<std::pair<int, int>> seen;  // touched on this (main) thread only
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t)
        workers.emplace_back([&, t] {
            for (int i = 0; i < 250; ++i) ex.post([&seen, t, i] { seen.emplace_back(t, i); });
        });
    for (auto& w : workers) w.join();
    ex.runPending();
    ASSERT_EQ(seen.size(), 1000u);
    std::vector<int> last(4, -1);
    for (auto [t, i] : seen) {
        EXPECT_EQ(i, last[t] + 1);
        last[t] = i;
    }
    std::vector<int> order;
    ex.post([&] {
        order.push_back(1);
        ex.post([&] { order.push_back(3); });
    });
    ex.post([&] { order.push_back(2); });
    ex.post([] { throw std::runtime_error("x"); });
    ex.post([&] { order.push_back(4); });
    EXPECT_EQ(ex.runPending(), 5u);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 4, 3}));
    EXPECT_EQ(ex.escapedExceptions(), 1u);
}

struct Counters {
    std::atomic<int> run{0}, drop{0};
};

// A task still queued at shutdown and one posted after it are both dropped,
// never run; any other host function called off the main thread is refused.
TEST(Executor, HostTablePostsAreDroppedFromShutdownOnAndOtherCallsOffTheMainThreadRefused) {
    Workbench wb;
    const KlHostFunctions& host = Workbench::hostTable();
    Counters c;
    auto run = [](void* ctx) { ++static_cast<Counters*>(ctx)->run; };
    auto drop = [](void* ctx) { ++static_cast<Counters*>(ctx)->drop; };
    EXPECT_EQ(host.PostToMainThread(run, drop, &c), KL_NOERROR);
    wb.executor().runPending();
    EXPECT_EQ(c.run, 1);
    EXPECT_EQ(host.PostToMainThread(run, drop, &c), KL_NOERROR);
    wb.executor().shutdown();
    EXPECT_EQ(c.drop, 1);
    KlErr fromWorker = KL_NOERROR, reported = KL_NOERROR;
    std::thread worker([&] {
        fromWorker = host.PostToMainThread(run, drop, &c);
        reported = host.WriteReport("from a worker", 0);
    });
    worker.join();
    EXPECT_EQ(fromWorker, KL_ERR_REFUSED);
    EXPECT_EQ(reported, KL_ERR_REFUSED);
    EXPECT_TRUE(wb.report().empty());
    EXPECT_EQ(wb.offThreadCalls(), 1);
    wb.executor().runPending();
    EXPECT_EQ(c.run, 1);
    EXPECT_EQ(c.drop, 2);
    EXPECT_EQ(host.PostToMainThread(run, nullptr, &c), KL_ERR_REFUSED);  // no drop given: still no crash
}

int32_t showAlert(const char* b1, const char* b2 = nullptr) {
    int32_t pressed = -1;
    EXPECT_EQ(Workbench::hostTable().Alert(KL_ALERT_WARNING, "Tytul", "Tekst", b1, b2, nullptr, &pressed), KL_NOERROR);
    return pressed;
}

// Scripted answers come first, then the user; quitting closes an alert that
// waits for one. (The modal wait that runs the page's answer is the browser
// tests' cleanup run.)
TEST(Alerts, ScriptedAnswersFirstThenTheUserUntilQuit) {
    WorkbenchOptions options;
    options.userAnswersAlerts = true;
    Workbench wb(options);
    wb.alerts().script({2, 3});
    EXPECT_EQ(showAlert("Uruchom", "Anuluj"), 2);
    EXPECT_EQ(showAlert("Uruchom", "Anuluj"), 0);  // no third button: closed
    EXPECT_FALSE(wb.answerAlert(1));                // nothing open
    std::thread quit([&] { wb.abandonAlerts(); });
    EXPECT_EQ(showAlert("OK"), 0);
    quit.join();
    ASSERT_EQ(wb.alerts().all().size(), 3u);
    EXPECT_EQ(wb.alerts().all()[2].buttons, (std::vector<std::string>{"OK", "", ""}));
    EXPECT_FALSE(wb.alerts().all()[2].scripted);
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
