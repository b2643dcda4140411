#include "net/url_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>

namespace kl::net {

std::string urlEncode(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() * 3);
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                           c == '-' || c == '.' || c == '_' || c == '~';
        if (plain) {
            out.push_back(ch);
        } else {
            out.push_back('%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 0x0F]);
        }
    }
    return out;
}

std::string formatNumber(double value, int significantDigits) {
    std::array<char, 64> buf{};
    std::to_chars_result r{};
    if (significantDigits > 0)
        r = std::to_chars(buf.data(), buf.data() + buf.size(), value, std::chars_format::general,
                          significantDigits);
    else
        r = std::to_chars(buf.data(), buf.data() + buf.size(), value);
    return std::string(buf.data(), r.ptr);
}

std::string formatSize(std::int64_t bytes) {
    if (bytes < 1024) return std::to_string(bytes) + " B";
    const bool kilo = bytes < 1048576;
    const double scaled = static_cast<double>(bytes) / (kilo ? 1024.0 : 1048576.0);
    std::array<char, 64> buf{};
    auto r = std::to_chars(buf.data(), buf.data() + buf.size(), scaled, std::chars_format::fixed, 1);
    std::string text(buf.data(), r.ptr);
    for (char& c : text)
        if (c == '.') c = ',';
    return text + (kilo ? " KB" : " MB");
}

std::string hostOf(std::string_view url) {
    const auto scheme = url.find("://");
    if (scheme == std::string_view::npos) return std::string(url);
    const auto start = scheme + 3;
    const auto slash = url.find('/', start);
    return std::string(url.substr(start, slash == std::string_view::npos ? std::string_view::npos : slash - start));
}

bool isDigitsOnly(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string lowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

char querySeparatorFor(std::string_view baseUrl) {
    return baseUrl.find('?') == std::string_view::npos ? '?' : '&';
}

}  // namespace kl::net
