#include "host/core/change_feed.h"

namespace kl::host {

void ChangeFeed::bump() {
    std::lock_guard lock(mutex_);
    ++revision_;
    cv_.notify_all();
}

uint64_t ChangeFeed::current() const {
    std::lock_guard lock(mutex_);
    return revision_;
}

uint64_t ChangeFeed::waitAfter(uint64_t seen, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    cv_.wait_for(lock, timeout, [&] { return revision_ != seen || closed_; });
    return revision_;
}

void ChangeFeed::close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
    cv_.notify_all();
}

bool ChangeFeed::closed() const {
    std::lock_guard lock(mutex_);
    return closed_;
}

}  // namespace kl::host
