#include "cloud/e57/e57_guid.h"

#include <cstdint>
#include <cstring>

namespace kl::e57 {
namespace {

uint64_t mix(uint64_t x) {
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdULL;
    x ^= x >> 33;
    x *= 0xc4ceb9fe1a85ec53ULL;
    x ^= x >> 33;
    return x;
}

uint32_t floatBits(double v) {
    const float f = static_cast<float>(v);
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

// Two independent 64-bit lanes: 128 bits, as many as a GUID holds.
struct Digest {
    uint64_t a = 0x243f6a8885a308d3ULL;
    uint64_t b = 0x13198a2e03707344ULL;
    void add(uint64_t word) {
        a = mix(a ^ word) + 0x9e3779b97f4a7c15ULL;
        b = mix(b + (word ^ 0xa4093822299f31d0ULL)) ^ (b >> 29);
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

std::string derived(const Digest& d, uint64_t tag) {
    return guidText(mix(d.a ^ tag), mix(d.b ^ (tag * 0x9e3779b97f4a7c15ULL)));
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
