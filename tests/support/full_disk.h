#pragma once
// A disk that fills up half way through a write, for real: a child process
// may not grow any file beyond `limit` bytes, so the write under test meets
// a genuine short write (EFBIG, SIGXFSZ ignored) instead of a mocked error.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

namespace kl::test {

// True when `check` (run in the child, after the limit is set) returned true.
// What the child writes stays on disk for the parent to inspect; what it
// changes in memory does not come back.
template <class Check>
bool holdsWhenDiskFills(rlim_t limit, Check check) {
    const pid_t child = ::fork();
    if (child < 0) return false;
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit cap{limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &cap);
        ::_exit(check() ? 0 : 1);
    }
    int status = 0;
    return ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace kl::test
