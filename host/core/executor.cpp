#include "host/core/executor.h"

namespace kl::host {
namespace {

bool runGuarded(const MainThreadExecutor::Task& task) {
    if (!task) return true;
    try {
        task();
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace

bool MainThreadExecutor::post(Task run, Task drop) {
    {
        std::lock_guard lock(mutex_);
        if (!shutDown_) {
            queue_.push_back({std::move(run), std::move(drop)});
            cv_.notify_all();
            return true;
        }
    }
    if (!runGuarded(drop)) {
        std::lock_guard lock(mutex_);
        ++escaped_;
    }
    return false;
}

size_t MainThreadExecutor::runFor(std::chrono::milliseconds wait) {
    {
        std::unique_lock lock(mutex_);
        if (queue_.empty() && wait.count() > 0)
            cv_.wait_for(lock, wait, [this] { return !queue_.empty() || woken_; });
        woken_ = false;
    }
    size_t ran = 0;
    for (;;) {
        Entry entry;
        {
            std::lock_guard lock(mutex_);
            if (queue_.empty()) break;
            entry = std::move(queue_.front());
            queue_.pop_front();
        }
        const bool ok = runGuarded(entry.run);
        ++ran;
        if (!ok) {
            std::lock_guard lock(mutex_);
            ++escaped_;
        }
    }
    return ran;
}

void MainThreadExecutor::wake() {
    std::lock_guard lock(mutex_);
    woken_ = true;
    cv_.notify_all();
}

void MainThreadExecutor::shutdown() {
    std::deque<Entry> left;
    {
        std::lock_guard lock(mutex_);
        shutDown_ = true;
        left.swap(queue_);
        cv_.notify_all();
    }
    for (auto& e : left)
        if (!runGuarded(e.drop)) {
            std::lock_guard lock(mutex_);
            ++escaped_;
        }
}

bool MainThreadExecutor::isShutDown() const {
    std::lock_guard lock(mutex_);
    return shutDown_;
}

size_t MainThreadExecutor::escapedExceptions() const {
    std::lock_guard lock(mutex_);
    return escaped_;
}

}  // namespace kl::host
