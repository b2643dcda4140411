#pragma once
// The host calls the add-on through plain C callbacks, and a worker thread
// has nobody above it: an exception leaving either ends the host process.
// Every function the host or a worker enters runs its body through guarded(),
// which writes what escaped to the diagnostics file and answers a fallback.
#include <exception>
#include <string_view>
#include <utility>

namespace kl::platform {

// The diagnostics line for an exception that reached a barrier; never throws.
void logEscaped(std::string_view where, std::exception_ptr error) noexcept;

template <class Body>
void guarded(std::string_view where, Body&& body) noexcept {
    try {
        std::forward<Body>(body)();
    } catch (...) {
        logEscaped(where, std::current_exception());
    }
}

template <class Result, class Body>
Result guarded(std::string_view where, Result fallback, Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        logEscaped(where, std::current_exception());
        return fallback;
    }
}

}  // namespace kl::platform
