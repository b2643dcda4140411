#include "base/process_liveness.h"

#if defined(__linux__)
#include <signal.h>
#include <sys/types.h>

#include <cerrno>
#include <limits>
#endif

namespace kl::platform {

bool processMayBeRunning(std::int64_t pid) noexcept {
#if defined(__linux__)
    if (pid <= 0 || pid > std::numeric_limits<pid_t>::max()) return false;
    // EPERM: it runs under another user; only ESRCH says it is gone.
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH;
#else
    (void)pid;
    return true;
#endif
}

}  // namespace kl::platform
