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

// The descriptor of the server's socket between the local port and the peer; -1 when none.
int connectionSocket(int localPort, const std::string& peerAddress, int peerPort) {
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
        if (peerAddress == text) return fd;
    }
    return -1;
}

// Closes the socket by putting /dev/null in its place.
bool replaceByNull(int fd) {
    const int devNull = open("/dev/null", O_RDWR | O_CLOEXEC);
    if (devNull < 0) return false;
    const bool replaced = dup2(devNull, fd) == fd;
    close(devNull);
    return replaced;
}
}  // namespace

bool resetConnection(int localPort, const std::string& peerAddress, int peerPort) {
    const int fd = connectionSocket(localPort, peerAddress, peerPort);
    if (fd < 0) return false;
    linger hard{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    return replaceByNull(fd);  // with zero linger the close sends RST
}

bool sendThenClose(int localPort, const std::string& peerAddress, int peerPort, std::string_view bytes) {
    const int fd = connectionSocket(localPort, peerAddress, peerPort);
    if (fd < 0) return false;
    while (!bytes.empty()) {
        const ssize_t sent = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent <= 0) break;
        bytes.remove_prefix(static_cast<size_t>(sent));
    }
    shutdown(fd, SHUT_RDWR);
    return replaceByNull(fd) && bytes.empty();
}

}  // namespace kl::geoportal
