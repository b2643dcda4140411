#pragma once
// Per-building work spread over the machine's cores, the results kept in the
// buildings' order whatever thread finished first.
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace kl::import {

struct ParallelHooks {
    std::function<void(int done, int total)> progress;  // called on the calling thread only
    std::function<bool()> cancelled;                    // likewise
};

// work(i) for every i below count, on up to `threads` threads (0: one per
// core). The calling thread works too and is the one that reports progress
// and looks at the cancel flag; once cancelled, items not started are left
// default-constructed and the caller must drop the result. An exception of
// any item is thrown here once every thread has stopped.
template <class Result, class Work>
std::vector<Result> mapInParallel(std::size_t count, Work work, const ParallelHooks& hooks, unsigned threads = 0) {
    std::vector<Result> results(count);
    std::atomic<std::size_t> next{0}, done{0};
    std::atomic<bool> stop{false};
    std::exception_ptr failure;
    std::mutex failureMutex;
    std::size_t reportedPercent = 0;  // one event per percent is plenty for a progress bar
    const auto run = [&](bool reporting) {
        for (std::size_t i; !stop && (i = next++) < count;) {
            try {
                results[i] = work(i);
            } catch (...) {
                const std::lock_guard lock(failureMutex);
                if (!failure) failure = std::current_exception();
                stop = true;
            }
            ++done;
            if (!reporting) continue;
            if (hooks.cancelled && hooks.cancelled()) stop = true;
            const std::size_t finished = done, percent = finished * 100 / count;
            if (hooks.progress && percent > reportedPercent) {
                reportedPercent = percent;
                hooks.progress(static_cast<int>(finished), static_cast<int>(count));
            }
        }
    };
    const unsigned wanted = threads > 0 ? threads : std::max(1u, std::thread::hardware_concurrency());
    const auto helpers = static_cast<unsigned>(std::min<std::size_t>(wanted - 1, count > 1 ? count - 1 : 0));
    std::vector<std::thread> pool;
    pool.reserve(helpers);
    for (unsigned t = 0; t < helpers; ++t) pool.emplace_back(run, false);
    run(true);
    for (std::thread& t : pool) t.join();
    if (failure) std::rethrow_exception(failure);
    if (hooks.progress) hooks.progress(static_cast<int>(done), static_cast<int>(count));
    return results;
}

}  // namespace kl::import
