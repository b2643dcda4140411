#include "base/main_thread.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <thread>

#include "tests/shell/shell_fixture.h"

namespace kl::test {
namespace {

// Only the host's main-thread queue is needed.
class PostToMain : public ShellTest {
protected:
    PostToMain() { initialize = false; }
    size_t runPosted() { return host.runPosted(); }
};

TEST_F(PostToMain, RunsOnlyWhenTheMainLoopDoesAndInOrder) {
    std::vector<int> order;
    std::thread worker([&order] {
        for (int i = 0; i < 3; ++i) ASSERT_TRUE(kl::postToMain([&order, i] { order.push_back(i); }));
    });
    worker.join();
    EXPECT_TRUE(order.empty());
    EXPECT_EQ(runPosted(), 3u);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
}

TEST_F(PostToMain, ThrowingTaskIsContainedAndReported) {
    std::string failure;
    kl::postToMain([]() -> void { throw std::out_of_range("brak warstwy"); },
                   [&failure](const std::string& m) { failure = m; });
    kl::postToMain([]() -> void { throw 1; }, [](const std::string&) { throw std::runtime_error("again"); });
    EXPECT_NO_THROW(runPosted());
    EXPECT_EQ(failure, "Blad wewnetrzny: brak warstwy");
}

TEST_F(PostToMain, RefusedAfterShutdownAndNothingRuns) {
    host.shutDownExecutor();
    auto alive = std::make_shared<int>(1);
    std::weak_ptr<int> watch = alive;
    bool ran = false;
    EXPECT_FALSE(kl::postToMain([&ran, alive] { ran = true; }));
    alive.reset();
    EXPECT_TRUE(watch.expired()) << "the refused task was released";
    EXPECT_FALSE(ran);
}

TEST_F(PostToMain, DroppedWhenQueuedAtShutdown) {
    auto alive = std::make_shared<int>(1);
    std::weak_ptr<int> watch = alive;
    bool ran = false;
    EXPECT_TRUE(kl::postToMain([&ran, alive] { ran = true; }));
    alive.reset();
    host.shutDownExecutor();
    EXPECT_TRUE(watch.expired());
    EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace kl::test
