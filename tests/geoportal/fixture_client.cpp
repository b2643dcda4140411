#include "tests/geoportal/fixture_client.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <jpeglib.h>
#include <netinet/in.h>
#include <png.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>

namespace kl::geoportal::testing {

std::string RawReply::header(const std::string& name) const {
    auto it = headers.find(name);
    return it == headers.end() ? std::string() : it->second;
}

RawReply rawGet(int port, const std::string& target, int timeoutMs) {
    RawReply reply;
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return reply;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        close(fd);
        return reply;
    }
    reply.connected = true;
    const std::string request = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    if (send(fd, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size())) {
        reply.readErrno = errno;
        close(fd);
        return reply;
    }
    std::string raw;
    char buf[65536];
    while (true) {
        pollfd p{fd, POLLIN, 0};
        const int ready = poll(&p, 1, timeoutMs);
        if (ready == 0) {
            reply.timedOut = true;
            break;
        }
        const ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n < 0) {
            reply.readErrno = errno;
            break;
        }
        if (n == 0) break;
        raw.append(buf, static_cast<size_t>(n));
    }
    close(fd);
    const auto end = raw.find("\r\n\r\n");
    if (end == std::string::npos) return reply;
    const std::string head = raw.substr(0, end);
    reply.body = raw.substr(end + 4);
    size_t lineEnd = head.find("\r\n");
    const std::string statusLine = head.substr(0, lineEnd);
    if (statusLine.size() >= 12) reply.status = std::atoi(statusLine.substr(9, 3).c_str());
    while (lineEnd != std::string::npos) {
        const size_t start = lineEnd + 2;
        lineEnd = head.find("\r\n", start);
        const std::string line = head.substr(start, lineEnd == std::string::npos ? std::string::npos : lineEnd - start);
        const auto colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string name = line.substr(0, colon);
        for (auto& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        std::string value = line.substr(colon + 1);
        while (!value.empty() && value.front() == ' ') value.erase(0, 1);
        reply.headers[name] = value;
    }
    if (!reply.header("content-length").empty()) reply.contentLength = std::atoll(reply.header("content-length").c_str());
    return reply;
}

DecodedImage decodePng(const std::string& bytes) {
    DecodedImage out;
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return out;
    image.format = PNG_FORMAT_RGBA;
    out.pixels.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, out.pixels.data(), 0, nullptr)) return out;
    out.ok = true;
    out.width = static_cast<int>(image.width);
    out.height = static_cast<int>(image.height);
    out.channels = 4;
    return out;
}

DecodedImage decodeJpeg(const std::string& bytes) {
    DecodedImage out;
    if (bytes.size() < 4) return out;
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<unsigned long>(bytes.size()));
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK) {
        jpeg_destroy_decompress(&cinfo);
        return out;
    }
    jpeg_start_decompress(&cinfo);
    out.width = static_cast<int>(cinfo.output_width);
    out.height = static_cast<int>(cinfo.output_height);
    out.channels = cinfo.output_components;
    out.pixels.resize(static_cast<size_t>(out.width) * static_cast<size_t>(out.height) * static_cast<size_t>(out.channels));
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = &out.pixels[static_cast<size_t>(cinfo.output_scanline) * static_cast<size_t>(out.width) *
                                   static_cast<size_t>(out.channels)];
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    out.ok = true;
    return out;
}

int countOf(const std::string& text, const std::string& needle) {
    int n = 0;
    for (size_t pos = text.find(needle); pos != std::string::npos; pos = text.find(needle, pos + needle.size())) ++n;
    return n;
}

std::vector<std::string> allBetween(const std::string& text, const std::string& open, const std::string& close) {
    std::vector<std::string> out;
    for (size_t a = text.find(open); a != std::string::npos; a = text.find(open, a + 1)) {
        const auto b = text.find(close, a + open.size());
        if (b == std::string::npos) break;
        out.push_back(text.substr(a + open.size(), b - a - open.size()));
    }
    return out;
}

}  // namespace kl::geoportal::testing
