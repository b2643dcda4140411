#pragma once
// Runs a function on the workbench's main thread and waits for its result.
// The function must own everything it touches (capture by value): after a
// time-out the request is gone but the function may still run.
#include <chrono>
#include <future>
#include <memory>
#include <optional>
#include <stdexcept>

#include "host/core/workbench.h"

namespace kl::host {

template <class F>
auto callOnMain(Workbench& wb, F fn, std::chrono::milliseconds timeout = std::chrono::seconds(60))
    -> std::optional<decltype(fn())> {
    using T = decltype(fn());
    auto promise = std::make_shared<std::promise<T>>();
    auto result = promise->get_future();
    const bool queued = wb.executor().post(
        [promise, fn]() mutable {
            try {
                promise->set_value(fn());
            } catch (...) {
                promise->set_exception(std::current_exception());
            }
        },
        [promise] { promise->set_exception(std::make_exception_ptr(std::runtime_error("shut down"))); });
    if (!queued || result.wait_for(timeout) != std::future_status::ready) return std::nullopt;
    try {
        return result.get();
    } catch (...) {
        return std::nullopt;
    }
}

}  // namespace kl::host
