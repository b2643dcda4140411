#include "host/core/desktop_open.h"

#include <spawn.h>
#include <sys/wait.h>

#include <thread>

extern char** environ;

namespace kl::host {

// Some openers stay until the browser window closes, so the child is reaped
// on a thread of its own.
bool openWithDesktop(const std::string& address) {
    const char* argv[] = {"xdg-open", address.c_str(), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, "xdg-open", nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0) return false;
    std::thread([pid] {
        int status = 0;
        waitpid(pid, &status, 0);
    }).detach();
    return true;
}

}  // namespace kl::host
