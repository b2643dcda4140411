#include "host/core/guid.h"

#include <charconv>
#include <mutex>
#include <random>

namespace kl::host {

KlGuid randomGuid() {
    static std::mutex m;
    static std::mt19937_64 gen{std::random_device{}()};
    std::lock_guard lock(m);
    KlGuid g{};
    do {
        const uint64_t a = gen(), b = gen();
        g.w[0] = static_cast<uint32_t>(a >> 32);
        g.w[1] = static_cast<uint32_t>(a);
        g.w[2] = static_cast<uint32_t>(b >> 32);
        g.w[3] = static_cast<uint32_t>(b);
    } while (isNullGuid(g));
    return g;
}

bool sameGuid(const KlGuid& a, const KlGuid& b) {
    return a.w[0] == b.w[0] && a.w[1] == b.w[1] && a.w[2] == b.w[2] && a.w[3] == b.w[3];
}

bool isNullGuid(const KlGuid& g) { return (g.w[0] | g.w[1] | g.w[2] | g.w[3]) == 0; }

namespace {

void appendHex(std::string& out, uint64_t value, int digits) {
    static const char* hex = "0123456789ABCDEF";
    for (int i = digits - 1; i >= 0; --i) out += hex[(value >> (4 * i)) & 0xF];
}

}  // namespace

std::string guidToString(const KlGuid& g) {
    std::string s = "{";
    appendHex(s, g.w[0], 8);
    s += '-';
    appendHex(s, g.w[1] >> 16, 4);
    s += '-';
    appendHex(s, g.w[1] & 0xFFFF, 4);
    s += '-';
    appendHex(s, g.w[2] >> 16, 4);
    s += '-';
    appendHex(s, g.w[2] & 0xFFFF, 4);
    appendHex(s, g.w[3], 8);
    s += '}';
    return s;
}

std::optional<KlGuid> parseGuid(std::string_view text) {
    if (text.size() == 38 && text.front() == '{' && text.back() == '}') text = text.substr(1, 36);
    if (text.size() != 36 || text[8] != '-' || text[13] != '-' || text[18] != '-' || text[23] != '-')
        return std::nullopt;
    std::string digits;
    for (char c : text)
        if (c != '-') digits += c;
    if (digits.size() != 32) return std::nullopt;
    KlGuid g{};
    for (int i = 0; i < 4; ++i) {
        const char* first = digits.data() + 8 * i;
        uint32_t v = 0;
        auto [ptr, ec] = std::from_chars(first, first + 8, v, 16);
        if (ec != std::errc() || ptr != first + 8) return std::nullopt;
        g.w[i] = v;
    }
    return g;
}

size_t GuidHash::operator()(const KlGuid& g) const noexcept {
    uint64_t h = (uint64_t(g.w[0]) << 32 | g.w[1]) * 0x9E3779B97F4A7C15ull;
    h ^= (uint64_t(g.w[2]) << 32 | g.w[3]) + (h << 6) + (h >> 2);
    return static_cast<size_t>(h);
}

}  // namespace kl::host
