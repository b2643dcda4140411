#include "base/worker_registry.h"

#include <utility>

#include "base/diag_log.h"
#include "base/entry_barrier.h"

namespace kl {
namespace {

void logWorker(const std::string& line) { platform::appendDiagLine("ordvik_web_diag.txt", "worker " + line); }

void joinAll(std::list<std::thread>& threads) {
    for (auto& t : threads)
        if (t.joinable()) t.join();
}

}  // namespace

WorkerRegistry::~WorkerRegistry() { shutdown(); }

WorkerRegistry& WorkerRegistry::instance() {
    static WorkerRegistry registry;
    return registry;
}

std::optional<CancelToken> WorkerRegistry::start(std::string name, Job job) {
    std::list<std::thread> finished;
    std::optional<CancelToken> result;
    {
        std::lock_guard<std::mutex> lock(sync_->mutex);
        finished = takeFinishedLocked();
        if (!closed_) {
            auto w = std::make_shared<Worker>();
            w->name = std::move(name);
            w->thread = std::thread([sync = sync_, w, job = std::move(job)]() mutable noexcept {
                platform::guarded(w->name, [&] { job(w->token); });
                job = nullptr;  // let go of the shared state before reporting the end
                std::lock_guard<std::mutex> guard(sync->mutex);
                w->finished = true;
                sync->finished.notify_all();
            });
            result = w->token;
            workers_.push_back(std::move(w));
        }
    }
    joinAll(finished);
    return result;
}

std::list<std::thread> WorkerRegistry::takeFinishedLocked() {
    std::list<std::thread> threads;
    for (auto it = workers_.begin(); it != workers_.end();) {
        if ((*it)->finished) {
            threads.push_back(std::move((*it)->thread));
            it = workers_.erase(it);
        } else {
            ++it;
        }
    }
    return threads;
}

WorkerRegistry::ShutdownResult WorkerRegistry::shutdown(std::chrono::milliseconds timeout) {
    ShutdownResult result;
    std::list<std::thread> finished;
    {
        std::unique_lock<std::mutex> lock(sync_->mutex);
        closed_ = true;
        for (auto& w : workers_) w->token.cancel();
        sync_->finished.wait_for(lock, timeout, [this] {
            for (const auto& w : workers_)
                if (!w->finished) return false;
            return true;
        });
        finished = takeFinishedLocked();
        result.joined = finished.size();
        for (auto& w : workers_) {
            logWorker(w->name + " still running at shutdown, detached");
            if (w->thread.joinable()) w->thread.detach();
            ++result.abandoned;
        }
        workers_.clear();
    }
    joinAll(finished);
    return result;
}

void WorkerRegistry::reopen() {
    std::lock_guard<std::mutex> lock(sync_->mutex);
    closed_ = false;
}

std::size_t WorkerRegistry::running() const {
    std::lock_guard<std::mutex> lock(sync_->mutex);
    std::size_t n = 0;
    for (const auto& w : workers_)
        if (!w->finished) ++n;
    return n;
}

}  // namespace kl
