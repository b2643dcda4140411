#pragma once
// Hand-over of work from worker threads to the host's main thread.
#include <functional>
#include <string>

namespace kl {

using MainThreadTask = std::function<void()>;
// Receives "Blad wewnetrzny: <text>" when a posted task threw.
using MainThreadFailure = std::function<void(const std::string& message)>;

// Queues task to run later on the host's main thread, in posting order.
// The task is guarded: if it throws, the exception is logged and onFailure
// runs in its place (on the main thread; its own throws are only logged).
// Returns false when the host refused (no host yet, or its executor has shut
// down); then neither task nor onFailure ever runs. Safe from any thread.
bool postToMain(MainThreadTask task, MainThreadFailure onFailure = {});

}  // namespace kl
