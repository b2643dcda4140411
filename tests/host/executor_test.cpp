#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "host/core/executor.h"
#include "host/core/workbench.h"

namespace kl::host {
namespace {

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

}  // namespace
}  // namespace kl::host
