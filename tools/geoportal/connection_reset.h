#pragma once

#include <string>
#include <string_view>

namespace kl::geoportal {

// Resets the server-side TCP connection between the local port and the peer
// (RST instead of an orderly close). The socket's descriptor is replaced by
// /dev/null, so the HTTP library's later writes and close fail harmlessly.
bool resetConnection(int localPort, const std::string& peerAddress, int peerPort);

// Sends the bytes as they are on that connection and closes it in order
// (FIN), the descriptor replaced by /dev/null as above: an answer of the
// server's own making, e.g. one without Content-Length cut half way.
bool sendThenClose(int localPort, const std::string& peerAddress, int peerPort, std::string_view bytes);

}  // namespace kl::geoportal
