#include "cloud/pipeline/background_e57.h"

namespace kl::cloud {

BackgroundE57::BackgroundE57(const std::string& path)
    : path_(path), opened_(writer_.open(path, openError_)), thread_([this] { run(); }) {}

BackgroundE57::~BackgroundE57() { stop(false); }

void BackgroundE57::stop(bool writeQueued) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        // A cloud given up (cancelled, over the budget, failed) is not worth
        // writing further; its temporary goes with the writer.
        if (!writeQueued) queue_.clear();
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void BackgroundE57::add(const CloudPoint* points, size_t count) {
    if (!opened_ || count == 0) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back({points, count});
    }
    wake_.notify_all();
}

void BackgroundE57::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
        if (queue_.empty()) return;  // stopping, and everything added is written
        const Part part = queue_.front();
        queue_.pop_front();
        lock.unlock();
        writer_.append(part.points, part.count);
        writer_.settle();
        lock.lock();
    }
}

bool BackgroundE57::finish(const e57::E57Guids& guids, std::string& error) {
    if (!opened_) {
        error = openError_;
        return false;
    }
    stop(true);
    return writer_.finish(guids, error);
}

}  // namespace kl::cloud
