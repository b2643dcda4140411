#pragma once
// Tracked worker threads. Every worker gets a cancel flag it shares with the
// registry and holds shared ownership of the state it works on, so that the
// add-on can stop and join all of them at quit before the palettes and
// controllers go away.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace kl {

class CancelToken {
public:
    CancelToken() : flag_(std::make_shared<std::atomic<bool>>(false)) {}
    bool cancelled() const { return flag_->load(std::memory_order_acquire); }
    void cancel() const { flag_->store(true, std::memory_order_release); }

private:
    std::shared_ptr<std::atomic<bool>> flag_;
};

class WorkerRegistry {
public:
    using Job = std::function<void(const CancelToken&)>;

    struct ShutdownResult {
        std::size_t joined = 0;
        std::size_t abandoned = 0;  // still running at the deadline; detached
    };

    WorkerRegistry() = default;
    WorkerRegistry(const WorkerRegistry&) = delete;
    WorkerRegistry& operator=(const WorkerRegistry&) = delete;
    // Shuts down with the default time-out.
    ~WorkerRegistry();

    // The add-on's registry; the quit event shuts it down.
    static WorkerRegistry& instance();

    // Runs job on a new thread. An exception escaping job is caught and
    // logged. Returns the worker's cancel token, or nothing once the registry
    // has been shut down (job is then not run).
    std::optional<CancelToken> start(std::string name, Job job);

    // Same, with the state the job works on kept alive until the job ends,
    // even if every other owner has let go of it.
    template <class State>
    std::optional<CancelToken> start(std::string name, std::shared_ptr<State> state,
                                     std::function<void(State&, const CancelToken&)> job) {
        return start(std::move(name), [state = std::move(state), job = std::move(job)](const CancelToken& token) {
            job(*state, token);
        });
    }

    // Cancels every worker, refuses new ones and waits up to timeout for the
    // running ones; those that do not finish in time are detached (logged),
    // keeping what they share alive.
    ShutdownResult shutdown(std::chrono::milliseconds timeout = kDefaultTimeout);

    // Accepts new workers again after a shutdown.
    void reopen();

    std::size_t running() const;

    static constexpr std::chrono::milliseconds kDefaultTimeout{5000};

private:
    // Shared with the threads, so a detached worker never touches a dead
    // registry.
    struct Sync {
        std::mutex mutex;
        std::condition_variable finished;
    };
    struct Worker {
        std::string name;
        CancelToken token;
        std::thread thread;
        bool finished = false;  // guarded by Sync::mutex
    };

    std::list<std::thread> takeFinishedLocked();

    std::shared_ptr<Sync> sync_ = std::make_shared<Sync>();
    std::list<std::shared_ptr<Worker>> workers_;
    bool closed_ = false;
};

}  // namespace kl
