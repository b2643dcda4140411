#include "host/server/gated_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kl::host {
namespace {

using Clock = std::chrono::steady_clock;

// httplib hands every accepted socket straight to the gate, which never blocks.
class HandOff : public httplib::TaskQueue {
public:
    void enqueue(std::function<void()> fn) override { fn(); }
    void shutdown() override {}
};

// The bytes the gate read ahead, then the socket, with each wait bounded by
// the per-read or per-write time and all reads together by the deadline.
class ConnectionStream : public httplib::Stream {
public:
    ConnectionStream(int socket, std::string readAhead, Clock::time_point deadline, std::chrono::milliseconds perRead,
                     std::chrono::milliseconds perWrite)
        : socket_(socket), readAhead_(std::move(readAhead)), deadline_(deadline), perRead_(perRead),
          perWrite_(perWrite) {}

    bool is_readable() const override { return offset_ < readAhead_.size() || waitFor(POLLIN, true); }
    bool is_writable() const override { return waitFor(POLLOUT, false); }

    ssize_t read(char* ptr, size_t size) override {
        if (offset_ < readAhead_.size()) {
            const size_t n = std::min(size, readAhead_.size() - offset_);
            std::memcpy(ptr, readAhead_.data() + offset_, n);
            offset_ += n;
            return ssize_t(n);
        }
        if (!waitFor(POLLIN, true)) return -1;
        return recv(socket_, ptr, size, 0);
    }
    ssize_t write(const char* ptr, size_t size) override {
        if (!waitFor(POLLOUT, false)) return -1;
        return send(socket_, ptr, size, MSG_NOSIGNAL);
    }
    void get_remote_ip_and_port(std::string& ip, int& port) const override { address(getpeername, ip, port); }
    void get_local_ip_and_port(std::string& ip, int& port) const override { address(getsockname, ip, port); }
    socket_t socket() const override { return socket_; }

    // What was read ahead beyond the request answered: the start of the next.
    std::string unread() const { return readAhead_.substr(offset_); }

private:
    bool waitFor(short event, bool reading) const {
        auto wait = perWrite_;
        if (reading) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline_ - Clock::now());
            wait = std::clamp(left, std::chrono::milliseconds(0), perRead_);
        }
        pollfd p{socket_, event, 0};
        int n;
        do n = poll(&p, 1, int(wait.count()));
        while (n < 0 && errno == EINTR);
        return n > 0;
    }
    void address(int (*query)(int, sockaddr*, socklen_t*), std::string& ip, int& port) const {
        sockaddr_storage a{};
        socklen_t length = sizeof a;
        char text[INET6_ADDRSTRLEN] = {};
        if (query(socket_, reinterpret_cast<sockaddr*>(&a), &length) != 0) return;
        const bool v6 = a.ss_family == AF_INET6;
        const auto& in4 = reinterpret_cast<const sockaddr_in&>(a);
        const auto& in6 = reinterpret_cast<const sockaddr_in6&>(a);
        if (inet_ntop(a.ss_family, v6 ? static_cast<const void*>(&in6.sin6_addr) : &in4.sin_addr, text, sizeof text))
            ip = text;
        port = ntohs(v6 ? in6.sin6_port : in4.sin_port);
    }

    int socket_;
    std::string readAhead_;
    size_t offset_ = 0;
    Clock::time_point deadline_;
    std::chrono::milliseconds perRead_;
    std::chrono::milliseconds perWrite_;
};

// One request in memory and its answer, for answerBytes.
class MemoryStream : public httplib::Stream {
public:
    explicit MemoryStream(std::string request) : request_(std::move(request)) {}
    bool is_readable() const override { return true; }
    bool is_writable() const override { return true; }
    ssize_t read(char* ptr, size_t size) override {
        const size_t n = std::min(size, request_.size() - offset_);
        std::memcpy(ptr, request_.data() + offset_, n);
        offset_ += n;
        return ssize_t(n);
    }
    ssize_t write(const char* ptr, size_t size) override {
        answer_.append(ptr, size);
        return ssize_t(size);
    }
    void get_remote_ip_and_port(std::string& ip, int& port) const override { ip = "127.0.0.1", port = 40000; }
    void get_local_ip_and_port(std::string& ip, int& port) const override { ip = "127.0.0.1", port = 80; }
    socket_t socket() const override { return -1; }
    std::string answer() && { return std::move(answer_); }

private:
    std::string request_;
    size_t offset_ = 0;
    std::string answer_;
};

}  // namespace

GatedServer::GatedServer(ServeLimits limits)
    : limits_(limits), workers_(limits.workers),
      gate_(limits.head, [this](WaitingConnection c) {
          workers_.enqueue([this, c = std::move(c)]() mutable { answer(std::move(c)); });
      }) {
    new_task_queue = [] { return new HandOff; };
}

GatedServer::~GatedServer() { finish(); }

void GatedServer::serve() {
    listen_after_bind();
    finish();
}

void GatedServer::finish() {
    std::call_once(finished_, [this] {
        gate_.stop();  // first: the gate hands nothing on to stopped workers
        workers_.shutdown();
    });
}

bool GatedServer::process_and_close_socket(socket_t sock) {
    gate_.admit(WaitingConnection{sock, {}, 0});
    return true;
}

void GatedServer::answer(WaitingConnection connection) {
    const auto inMilliseconds = [](time_t sec, time_t usec) {
        return std::chrono::ceil<std::chrono::milliseconds>(std::chrono::seconds(sec) + std::chrono::microseconds(usec));
    };
    ConnectionStream stream(connection.socket, std::move(connection.readAhead), Clock::now() + limits_.bodyTime,
                            inMilliseconds(read_timeout_sec_, read_timeout_usec_),
                            inMilliseconds(write_timeout_sec_, write_timeout_usec_));
    const bool last = size_t(connection.answered + 1) >= keep_alive_max_count_;
    bool closed = false;
    const bool answered = process_request(stream, last, closed, nullptr);
    if (answered && !closed && !last && is_running()) {
        gate_.admit(WaitingConnection{connection.socket, stream.unread(), connection.answered + 1});
        return;
    }
    shutdown(connection.socket, SHUT_RDWR);
    close(connection.socket);
}

std::string GatedServer::answerBytes(std::string request) {
    MemoryStream stream(std::move(request));
    bool closed = false;
    process_request(stream, true, closed, nullptr);
    return std::move(stream).answer();
}

}  // namespace kl::host
