#pragma once
// A deliberately plain HTTP/1.1 client on raw sockets, so that the tests see
// exactly what the server sent (short bodies, resets) and image decoders used
// as independent checks of the served pictures.

#include <map>
#include <string>
#include <vector>

namespace kl::geoportal::testing {

struct RawReply {
    bool connected = false;
    int status = 0;
    std::map<std::string, std::string> headers;  // lower-case names
    std::string body;
    long long contentLength = -1;
    int readErrno = 0;      // errno of a failed read (ECONNRESET for a reset)
    bool timedOut = false;  // nothing more arrived within the time-out
    std::string header(const std::string& name) const;
};

RawReply rawGet(int port, const std::string& target, int timeoutMs = 10000);

struct DecodedImage {
    bool ok = false;
    int width = 0, height = 0, channels = 0;
    std::vector<unsigned char> pixels;
};
DecodedImage decodePng(const std::string& bytes);
DecodedImage decodeJpeg(const std::string& bytes);

int countOf(const std::string& text, const std::string& needle);
std::vector<std::string> allBetween(const std::string& text, const std::string& open, const std::string& close);

}  // namespace kl::geoportal::testing
