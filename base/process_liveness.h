#pragma once
// Whether the writer of a leftover temporary file may still be at work. Files
// carry their writer's process id so that a start-up sweep removes only the
// leftovers of processes that are gone, never another running one's.
#include <cstdint>

namespace kl::platform {

// True when a process with this id may be running. Where that cannot be
// asked, every process counts as running, so only age ends its files.
bool processMayBeRunning(std::int64_t pid) noexcept;

}  // namespace kl::platform
