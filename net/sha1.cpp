#include "net/sha1.h"

#include <array>
#include <cstdint>
#include <cstdio>

namespace kl::net {
namespace {

constexpr std::uint32_t rotl(std::uint32_t v, int n) { return (v << n) | (v >> (32 - n)); }

struct Sha1State {
    std::array<std::uint32_t, 5> h{0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u, 0xC3D2E1F0u};

    void block(const unsigned char* p) {
        std::array<std::uint32_t, 80> w{};
        for (int i = 0; i < 16; ++i)
            w[i] = (std::uint32_t(p[4 * i]) << 24) | (std::uint32_t(p[4 * i + 1]) << 16) |
                   (std::uint32_t(p[4 * i + 2]) << 8) | std::uint32_t(p[4 * i + 3]);
        for (int i = 16; i < 80; ++i) w[i] = rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
        std::uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
        for (int i = 0; i < 80; ++i) {
            std::uint32_t f = 0, k = 0;
            if (i < 20) {
                f = (b & c) | (~b & d);
                k = 0x5A827999u;
            } else if (i < 40) {
                f = b ^ c ^ d;
                k = 0x6ED9EBA1u;
            } else if (i < 60) {
                f = (b & c) | (b & d) | (c & d);
                k = 0x8F1BBCDCu;
            } else {
                f = b ^ c ^ d;
                k = 0xCA62C1D6u;
            }
            const std::uint32_t t = rotl(a, 5) + f + e + k + w[i];
            e = d;
            d = c;
            c = rotl(b, 30);
            b = a;
            a = t;
        }
        h[0] += a;
        h[1] += b;
        h[2] += c;
        h[3] += d;
        h[4] += e;
    }
};

}  // namespace

std::string sha1Hex(std::string_view bytes) {
    Sha1State s;
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t full = n - n % 64;
    for (std::size_t i = 0; i < full; i += 64) s.block(data + i);

    std::array<unsigned char, 128> tail{};
    const std::size_t rest = n - full;
    for (std::size_t i = 0; i < rest; ++i) tail[i] = data[full + i];
    tail[rest] = 0x80;
    const std::size_t tailLen = rest + 1 + 8 <= 64 ? 64 : 128;
    const std::uint64_t bits = static_cast<std::uint64_t>(n) * 8u;
    for (int i = 0; i < 8; ++i) tail[tailLen - 1 - static_cast<std::size_t>(i)] = static_cast<unsigned char>(bits >> (8 * i));
    s.block(tail.data());
    if (tailLen == 128) s.block(tail.data() + 64);

    std::string out;
    out.reserve(40);
    for (std::uint32_t word : s.h) {
        char buf[9];
        std::snprintf(buf, sizeof buf, "%08x", static_cast<unsigned>(word));
        out.append(buf, 8);
    }
    return out;
}

}  // namespace kl::net
