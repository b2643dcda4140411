#include "cloud/e57/e57_guid.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace kl::e57 {
namespace {

uint32_t floatBits(double v) {
    const float f = static_cast<float>(v);
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

// Two 64-bit lanes of multiply-and-rotate steps, each word a bijection of
// the state: 128 bits, as many as a GUID holds. Not a cryptographic hash;
// it only has to tell clouds apart.
struct Digest {
    uint64_t a = 0xcbf29ce484222325ULL;
    uint64_t b = 0x84222325cbf29ce4ULL;
    void add(uint64_t word) {
        a = std::rotl((a ^ word) * 0x100000001b3ULL, 29);
        b = std::rotl((b + word) * 0x9e3779b97f4a7c15ULL, 31);
    }
};

std::string guidText(uint64_t hi, uint64_t lo) {
    hi = (hi & ~0xF000ULL) | 0x8000ULL;                   // version 8
    lo = (lo & 0x3FFFFFFFFFFFFFFFULL) | (1ULL << 63);      // variant 10
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out = "{";
    for (int nibble = 0; nibble < 32; ++nibble) {
        if (nibble == 8 || nibble == 12 || nibble == 16 || nibble == 20) out.push_back('-');
        const uint64_t word = nibble < 16 ? hi : lo;
        out.push_back(kHex[(word >> (60 - 4 * (nibble % 16))) & 0xF]);
    }
    return out + "}";
}

// The tag and a few more rounds spread a one-word difference over all bits.
std::string derived(Digest d, uint64_t tag) {
    for (int round = 0; round < 4; ++round) d.add(tag);
    return guidText(d.a ^ (d.b >> 32), d.b ^ (d.a << 32));
}

}  // namespace

E57Guids contentGuids(const std::vector<cloud::CloudPoint>& points) {
    Digest d;
    d.add(points.size());
    for (const auto& p : points) {
        d.add((uint64_t{floatBits(p.x)} << 32) | floatBits(p.y));
        d.add((uint64_t{floatBits(p.z)} << 32) | (uint64_t{p.r} << 16) | (uint64_t{p.g} << 8) | p.b);
    }
    return {derived(d, 1), derived(d, 2)};
}

}  // namespace kl::e57
