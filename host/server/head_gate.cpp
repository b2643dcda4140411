#include "host/server/head_gate.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace kl::host {
namespace {

using Clock = std::chrono::steady_clock;

std::string peerAddress(int socket) {
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    if (getpeername(socket, reinterpret_cast<sockaddr*>(&peer), &length) != 0) return {};
    char text[INET6_ADDRSTRLEN] = {};
    const bool v6 = peer.ss_family == AF_INET6;
    const void* raw = v6 ? static_cast<const void*>(&reinterpret_cast<sockaddr_in6&>(peer).sin6_addr)
                         : static_cast<const void*>(&reinterpret_cast<sockaddr_in&>(peer).sin_addr);
    return inet_ntop(peer.ss_family, raw, text, sizeof text) ? text : "";
}

void closeConnection(int socket) {
    shutdown(socket, SHUT_RDWR);
    close(socket);
}

}  // namespace

HeadGate::HeadGate(HeadLimits limits, Ready ready)
    : limits_(limits), ready_(std::move(ready)), wakeFd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    thread_ = std::thread([this] { run(); });
}

HeadGate::~HeadGate() {
    stop();
    close(wakeFd_);
}

void HeadGate::admit(WaitingConnection connection) {
    {
        std::lock_guard lock(mutex_);
        if (!stopped_) {
            admitted_.push_back(std::move(connection));
            connection.socket = -1;
        }
    }
    if (connection.socket >= 0) return closeConnection(connection.socket);
    const uint64_t one = 1;
    [[maybe_unused]] const auto written = write(wakeFd_, &one, sizeof one);
}

void HeadGate::stop() {
    {
        std::lock_guard lock(mutex_);
        if (stopped_) return;
        stopped_ = true;
    }
    const uint64_t one = 1;
    [[maybe_unused]] const auto written = write(wakeFd_, &one, sizeof one);
    thread_.join();
}

bool HeadGate::headComplete(const Waiting& w) const {
    return w.connection.readAhead.find("\r\n\r\n") != std::string::npos;
}

void HeadGate::takeAdmitted() {
    std::vector<WaitingConnection> fresh;
    {
        std::lock_guard lock(mutex_);
        fresh.swap(admitted_);
    }
    for (auto& connection : fresh) {
        std::string address = peerAddress(connection.socket);
        Waiting w{std::move(connection), std::move(address), Clock::now() + limits_.headTime};
        // A connection handed back after an answer may hold the next head already.
        if (headComplete(w)) {
            ready_(std::move(w.connection));
            continue;
        }
        const auto sameAddress = [&](const Waiting& other) { return other.address == w.address; };
        if (size_t(std::count_if(waiting_.begin(), waiting_.end(), sameAddress)) >= limits_.waitingPerAddress) {
            const auto oldest = std::find_if(waiting_.begin(), waiting_.end(), sameAddress);
            closeConnection(oldest->connection.socket);
            waiting_.erase(oldest);
        }
        waiting_.push_back(std::move(w));
    }
}

HeadGate::HeadState HeadGate::readMore(Waiting& w) {
    char buffer[4096];
    while (true) {
        const ssize_t n = recv(w.connection.socket, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0) {
            w.connection.readAhead.append(buffer, size_t(n));
            if (headComplete(w)) return HeadState::Complete;
            if (w.connection.readAhead.size() > limits_.maxHeadBytes) return HeadState::Dropped;
            continue;
        }
        const bool nothingYet = n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR);
        return nothingYet ? HeadState::Waiting : HeadState::Dropped;
    }
}

void HeadGate::run() {
    std::vector<pollfd> polled;
    while (true) {
        {
            std::lock_guard lock(mutex_);
            if (stopped_) break;
        }
        takeAdmitted();
        polled.assign(1, pollfd{wakeFd_, POLLIN, 0});
        auto firstDeadline = Clock::time_point::max();
        for (const auto& w : waiting_) {
            polled.push_back(pollfd{w.connection.socket, POLLIN, 0});
            firstDeadline = std::min(firstDeadline, w.deadline);
        }
        int timeout = -1;
        if (!waiting_.empty()) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(firstDeadline - Clock::now());
            timeout = int(std::clamp<int64_t>(left.count(), 0, 60000));
        }
        if (poll(polled.data(), polled.size(), timeout) < 0 && errno != EINTR) break;
        if (polled[0].revents) {
            uint64_t count = 0;
            [[maybe_unused]] const auto got = read(wakeFd_, &count, sizeof count);
        }
        const auto now = Clock::now();
        std::vector<Waiting> still;
        still.reserve(waiting_.size());
        for (size_t i = 0; i < waiting_.size(); ++i) {
            Waiting& w = waiting_[i];
            HeadState state = polled[i + 1].revents ? readMore(w) : HeadState::Waiting;
            if (state == HeadState::Waiting && now >= w.deadline) state = HeadState::Dropped;
            if (state == HeadState::Complete)
                ready_(std::move(w.connection));
            else if (state == HeadState::Dropped)
                closeConnection(w.connection.socket);
            else
                still.push_back(std::move(w));
        }
        waiting_.swap(still);
    }
    for (auto& w : waiting_) closeConnection(w.connection.socket);
    waiting_.clear();
    std::lock_guard lock(mutex_);
    for (auto& c : admitted_) closeConnection(c.socket);
    admitted_.clear();
}

}  // namespace kl::host
