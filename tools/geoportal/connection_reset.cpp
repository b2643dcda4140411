#include "tools/geoportal/connection_reset.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kl::geoportal {

namespace {
bool samePort(const sockaddr_in& a, int port) { return a.sin_family == AF_INET && ntohs(a.sin_port) == port; }
}  // namespace

bool resetConnection(int localPort, const std::string& peerAddress, int peerPort) {
    rlimit limit{};
    const int maxFd = getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < 65536 ? static_cast<int>(limit.rlim_cur) : 65536;
    for (int fd = 0; fd < maxFd; ++fd) {
        sockaddr_in local{}, peer{};
        socklen_t len = sizeof local;
        if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &len) != 0 || !samePort(local, localPort)) continue;
        len = sizeof peer;
        if (getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &len) != 0 || !samePort(peer, peerPort)) continue;
        char text[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
        if (peerAddress != text) continue;
        linger hard{1, 0};
        setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        const int devNull = open("/dev/null", O_RDWR | O_CLOEXEC);
        if (devNull < 0) return false;
        const bool replaced = dup2(devNull, fd) == fd;  // closes the socket: with zero linger that sends RST
        close(devNull);
        return replaced;
    }
    return false;
}

}  // namespace kl::geoportal
