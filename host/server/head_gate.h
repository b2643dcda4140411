#pragma once
// Connections wait here, on one thread and off the request workers, until a
// whole request head has arrived. A client that sends its head a byte at a time
// then holds a socket, not a worker: the head must arrive within a total time,
// and one client address may keep only so many connections waiting.
#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kl::host {

struct HeadLimits {
    std::chrono::milliseconds headTime{10000};  // from arrival (or the previous answer) to a whole head
    size_t maxHeadBytes = 64 * 1024;
    size_t waitingPerAddress = 32;  // beyond this, the address's longest-waiting connection is closed
};

// A connection handed on or back: its socket and the bytes read ahead of the
// request (a whole head first, once handed on).
struct WaitingConnection {
    int socket = -1;
    std::string readAhead;
    int answered = 0;  // requests answered on this connection so far
};

class HeadGate {
public:
    using Ready = std::function<void(WaitingConnection)>;

    HeadGate(HeadLimits limits, Ready ready);
    ~HeadGate();
    HeadGate(const HeadGate&) = delete;
    HeadGate& operator=(const HeadGate&) = delete;

    // Thread-safe. Takes the socket over; after stop() it is closed at once.
    void admit(WaitingConnection connection);
    // Closes every waiting connection and ends the gate's thread.
    void stop();

private:
    struct Waiting {
        WaitingConnection connection;
        std::string address;
        std::chrono::steady_clock::time_point deadline;
    };
    void run();
    void takeAdmitted();
    enum class HeadState { Waiting, Complete, Dropped };
    // Reads what arrived so far.
    HeadState readMore(Waiting& w);
    bool headComplete(const Waiting& w) const;

    const HeadLimits limits_;
    const Ready ready_;
    int wakeFd_ = -1;
    std::mutex mutex_;
    std::vector<WaitingConnection> admitted_;
    bool stopped_ = false;
    std::vector<Waiting> waiting_;  // gate thread only, oldest first
    std::thread thread_;
};

}  // namespace kl::host
