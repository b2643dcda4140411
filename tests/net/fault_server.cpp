#include "tests/net/fault_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace kl::test {
namespace {

int boundLoopbackSocket(int& port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    port = ntohs(addr.sin_port);
    return fd;
}

}  // namespace

int closedLoopbackPort() {
    int port = 0;
    int fd = boundLoopbackSocket(port);
    ::close(fd);
    return port;
}

SilentCloser::SilentCloser() {
    fd_ = boundLoopbackSocket(port_);
    ::listen(fd_, 8);
    thread_ = std::thread([this] {
        while (!stop_) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 50) > 0) {
                int c = ::accept(fd_, nullptr, nullptr);
                if (c >= 0) {
                    char buf[1024];
                    (void)::recv(c, buf, sizeof buf, 0);
                    ::close(c);
                }
            }
        }
    });
}

SilentCloser::~SilentCloser() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    ::close(fd_);
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
