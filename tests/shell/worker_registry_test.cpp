#include "base/worker_registry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <memory>
#include <stdexcept>
#include <thread>

namespace {

using namespace std::chrono_literals;
using kl::CancelToken;
using kl::WorkerRegistry;

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
    WorkerRegistry registry;
    std::atomic<int> stopped{0};
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(registry.start("w", [&stopped](const CancelToken& t) {
            while (!t.cancelled()) std::this_thread::yield();  // as a real job polls between chunks of work
            ++stopped;
        }));
    registry.start("thrower", [](const CancelToken&) { throw std::runtime_error("network down"); });
    registry.start("odd", [](const CancelToken&) { throw 42; });
    const auto result = registry.shutdown(5s);
    EXPECT_EQ(result.joined, 5u);
    EXPECT_EQ(result.abandoned, 0u);
    EXPECT_EQ(stopped.load(), 3);
    EXPECT_EQ(registry.running(), 0u);
    bool ran = false;
    EXPECT_FALSE(registry.start("late", [&ran](const CancelToken&) { ran = true; }));
    registry.reopen();
    EXPECT_TRUE(registry.start("again", [&ran](const CancelToken&) { ran = true; }));
    registry.shutdown();
    EXPECT_TRUE(ran);
}

TEST(WorkerRegistry, WorkerKeepsItsStateAliveAfterOthersLetGo) {
    WorkerRegistry registry;
    struct State {
        Gate release;
        int touched = 0;
    };
    auto state = std::make_shared<State>();
    std::weak_ptr<State> watch = state;
    Gate* release = &state->release;
    registry.start("w", state, std::function<void(State&, const CancelToken&)>([](State& s, const CancelToken&) {
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
        WorkerRegistry registry;
        registry.start("stubborn", [release, exited](const CancelToken&) {
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
