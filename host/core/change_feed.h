#pragma once
// A revision counter that page streams wait on; bumped when anything the
// workbench page shows has changed. Safe from any thread.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace kl::host {

class ChangeFeed {
public:
    void bump();
    uint64_t current() const;
    // Returns the revision once it differs from `seen`, or at time-out.
    uint64_t waitAfter(uint64_t seen, std::chrono::milliseconds timeout);
    void close();
    bool closed() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    uint64_t revision_ = 1;
    bool closed_ = false;
};

}  // namespace kl::host
