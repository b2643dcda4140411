#include "shell/worker_registry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

namespace {

using namespace std::chrono_literals;
using kl::CancelToken;
using kl::WorkerRegistry;

void waitUntilCancelled(const CancelToken& token) {
    while (!token.cancelled()) std::this_thread::sleep_for(1ms);
}

TEST(WorkerRegistry, ShutdownCancelsAndJoinsEveryWorker) {
    WorkerRegistry registry;
    std::atomic<int> stopped{0};
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(registry.start("w", [&stopped](const CancelToken& t) {
            waitUntilCancelled(t);
            ++stopped;
        }));
    EXPECT_EQ(registry.running(), 3u);
    const auto result = registry.shutdown(5s);
    EXPECT_EQ(result.joined, 3u);
    EXPECT_EQ(result.abandoned, 0u);
    EXPECT_EQ(stopped.load(), 3);
    EXPECT_EQ(registry.running(), 0u);
}

TEST(WorkerRegistry, CancelAllSetsTheSharedFlag) {
    WorkerRegistry registry;
    auto token = registry.start("w", waitUntilCancelled);
    ASSERT_TRUE(token);
    EXPECT_FALSE(token->cancelled());
    registry.cancelAll();
    EXPECT_TRUE(token->cancelled());
}

TEST(WorkerRegistry, WorkerKeepsItsStateAliveAfterOthersLetGo) {
    WorkerRegistry registry;
    struct State {
        std::atomic<bool> release{false};
        int touched = 0;
    };
    auto state = std::make_shared<State>();
    std::weak_ptr<State> watch = state;
    std::atomic<bool>* release = &state->release;
    registry.start("w", state, std::function<void(State&, const CancelToken&)>([](State& s, const CancelToken&) {
                       while (!s.release) std::this_thread::sleep_for(1ms);
                       s.touched = 1;  // still valid: the worker owns a share
                   }));
    state.reset();
    EXPECT_FALSE(watch.expired());
    *release = true;
    registry.shutdown(5s);
    EXPECT_TRUE(watch.expired()) << "the share is given up when the job ends";
}

TEST(WorkerRegistry, EscapingExceptionIsContained) {
    WorkerRegistry registry;
    registry.start("thrower", [](const CancelToken&) { throw std::runtime_error("network down"); });
    registry.start("odd", [](const CancelToken&) { throw 42; });
    const auto result = registry.shutdown(5s);
    EXPECT_EQ(result.joined, 2u);
}

TEST(WorkerRegistry, RefusesNewWorkersAfterShutdownUntilReopened) {
    WorkerRegistry registry;
    registry.shutdown();
    bool ran = false;
    EXPECT_FALSE(registry.start("late", [&ran](const CancelToken&) { ran = true; }));
    registry.reopen();
    EXPECT_TRUE(registry.start("again", [&ran](const CancelToken&) { ran = true; }));
    registry.shutdown();
    EXPECT_TRUE(ran);
}

TEST(WorkerRegistry, StubbornWorkerIsAbandonedAtTheDeadlineAndOutlivesTheRegistrySafely) {
    auto release = std::make_shared<std::atomic<bool>>(false);
    auto finished = std::make_shared<std::atomic<bool>>(false);
    {
        WorkerRegistry registry;
        registry.start("stubborn", [release, finished](const CancelToken&) {
            while (!*release) std::this_thread::sleep_for(1ms);
            *finished = true;
        });
        const auto result = registry.shutdown(20ms);
        EXPECT_EQ(result.abandoned, 1u);
        EXPECT_EQ(result.joined, 0u);
    }
    *release = true;
    for (int i = 0; i < 5000 && !*finished; ++i) std::this_thread::sleep_for(1ms);
    EXPECT_TRUE(*finished);
    std::this_thread::sleep_for(20ms);  // let the thread leave its epilogue
}

TEST(WorkerRegistry, FinishedWorkersAreReapedOnTheNextStart) {
    WorkerRegistry registry;
    registry.start("quick", [](const CancelToken&) {});
    for (int i = 0; i < 5000 && registry.running() != 0; ++i) std::this_thread::sleep_for(1ms);
    registry.start("quick", [](const CancelToken&) {});
    const auto result = registry.shutdown();
    EXPECT_EQ(result.joined, 1u) << "the first one was already joined";
}

}  // namespace
