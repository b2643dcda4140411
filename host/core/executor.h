#pragma once
// Functions posted from any thread, run on the main thread in posting order.
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>

namespace kl::host {

class MainThreadExecutor {
public:
    using Task = std::function<void()>;

    // Queues run for the main thread. Once shut down the task is not queued,
    // drop is called here (on the calling thread) and false returned.
    bool post(Task run, Task drop = {});

    // Main thread: waits up to `wait` for work, then runs everything queued,
    // including what the tasks themselves post. Returns the number run.
    size_t runFor(std::chrono::milliseconds wait);
    size_t runPending() { return runFor(std::chrono::milliseconds(0)); }

    // Makes a waiting runFor return early.
    void wake();

    // Refuses later posts; what is still queued is dropped (drop called).
    void shutdown();
    bool isShutDown() const;

    // Exceptions that escaped a task (they are swallowed so the loop lives).
    size_t escapedExceptions() const;

private:
    struct Entry {
        Task run;
        Task drop;
    };
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<Entry> queue_;
    bool shutDown_ = false;
    bool woken_ = false;
    size_t escaped_ = 0;
};

}  // namespace kl::host
