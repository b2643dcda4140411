#pragma once
// An HTTP server whose workers only ever answer: the request head is awaited
// by the head gate, the body must arrive within a total time, and between
// requests a kept-alive connection goes back to the gate. A slow client costs
// a socket, never a worker.
#include <httplib.h>

#include <chrono>
#include <mutex>
#include <string>

#include "host/server/head_gate.h"

namespace kl::host {

struct ServeLimits {
    HeadLimits head;
    std::chrono::milliseconds bodyTime{30000};  // from the whole head to the whole body
    size_t workers = 16;
};

class GatedServer : public httplib::Server {
public:
    explicit GatedServer(ServeLimits limits);
    ~GatedServer() override;

    // Serves the bound port until stop(); then closes the waiting connections
    // and returns once the answers in flight are written.
    void serve();

    // Answers one request given as its bytes, as if it came from a loopback
    // connection, and returns the bytes of the answer.
    std::string answerBytes(std::string request);

private:
    bool process_and_close_socket(socket_t sock) override;
    void answer(WaitingConnection connection);
    void finish();

    const ServeLimits limits_;
    httplib::ThreadPool workers_;
    HeadGate gate_;
    std::once_flag finished_;
};

}  // namespace kl::host
