#include "tests/net/fault_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

namespace kl::test {

// A port on which nobody listens: bound, read back and given up at once.
int closedLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    ::close(fd);
    return ntohs(addr.sin_port);
}

TempCacheHome::TempCacheHome() {
    if (const char* prev = std::getenv("XDG_CACHE_HOME")) {
        hadPrevious_ = true;
        previous_ = prev;
    }
    ::setenv("XDG_CACHE_HOME", dir().c_str(), 1);
}

TempCacheHome::~TempCacheHome() {
    if (hadPrevious_)
        ::setenv("XDG_CACHE_HOME", previous_.c_str(), 1);
    else
        ::unsetenv("XDG_CACHE_HOME");
}

}  // namespace kl::test
