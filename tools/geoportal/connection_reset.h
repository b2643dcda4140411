#pragma once

#include <string>

namespace kl::geoportal {

// Resets the server-side TCP connection between the local port and the peer
// (RST instead of an orderly close). The socket's descriptor is replaced by
// /dev/null, so the HTTP library's later writes and close fail harmlessly.
bool resetConnection(int localPort, const std::string& peerAddress, int peerPort);

}  // namespace kl::geoportal
