#include "base/main_thread.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include "tests/shell/shell_fixture.h"

namespace kl::test {
namespace {

// Only the host's main-thread queue is needed; its order across threads is
// the host executor's own test.
class PostToMain : public ShellTest {
protected:
    PostToMain() { initialize = false; }
};

TEST_F(PostToMain, ThrowingTaskIsContainedAndReported) {
    std::string failure;
    kl::postToMain([]() -> void { throw std::out_of_range("brak warstwy"); },
                   [&failure](const std::string& m) { failure = m; });
    kl::postToMain([]() -> void { throw 1; }, [](const std::string&) { throw std::runtime_error("again"); });
    EXPECT_NO_THROW(host.runPosted());
    EXPECT_EQ(failure, "Blad wewnetrzny: brak warstwy");
}

// A task queued at shutdown and one posted after it never run, and both are released.
TEST_F(PostToMain, NothingRunsFromShutdownOn) {
    auto alive = std::make_shared<int>(1);
    std::weak_ptr<int> watch = alive;
    bool ran = false;
    EXPECT_TRUE(kl::postToMain([&ran, alive] { ran = true; }));
    host.shutDownExecutor();
    EXPECT_FALSE(kl::postToMain([&ran, alive] { ran = true; }));
    alive.reset();
    EXPECT_TRUE(watch.expired());
    EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace kl::test
