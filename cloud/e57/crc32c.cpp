#include "cloud/e57/crc32c.h"

#include <array>
#include <cstring>

#if defined(__x86_64__)
#include <nmmintrin.h>
#endif

namespace kl::e57 {
namespace {

constexpr uint32_t kPoly = 0x82F63B78u;

// Slicing-by-8 tables: eight bytes per step without the hardware instruction.
struct Tables {
    std::array<std::array<uint32_t, 256>, 8> t{};
    constexpr Tables() {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1u) ? (c >> 1) ^ kPoly : c >> 1;
            t[0][i] = c;
        }
        for (uint32_t i = 0; i < 256; ++i)
            for (size_t s = 1; s < 8; ++s) t[s][i] = (t[s - 1][i] >> 8) ^ t[0][t[s - 1][i] & 0xFFu];
    }
};
constexpr Tables kTables;

uint32_t crcPortable(uint32_t crc, const uint8_t* p, size_t n) {
    const auto& t = kTables.t;
    while (n >= 8) {
        uint32_t lo;
        uint32_t hi;
        std::memcpy(&lo, p, 4);
        std::memcpy(&hi, p + 4, 4);
        lo ^= crc;
        crc = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
              t[3][hi & 0xFF] ^ t[2][(hi >> 8) & 0xFF] ^ t[1][(hi >> 16) & 0xFF] ^ t[0][hi >> 24];
        p += 8;
        n -= 8;
    }
    while (n--) crc = (crc >> 8) ^ t[0][(crc ^ *p++) & 0xFFu];
    return crc;
}

#if defined(__x86_64__)
__attribute__((target("sse4.2"))) uint32_t crcHardware(uint32_t crc, const uint8_t* p, size_t n) {
    uint64_t c = crc;
    while (n >= 8) {
        uint64_t v;
        std::memcpy(&v, p, 8);
        c = _mm_crc32_u64(c, v);
        p += 8;
        n -= 8;
    }
    auto c32 = static_cast<uint32_t>(c);
    while (n--) c32 = _mm_crc32_u8(c32, *p++);
    return c32;
}

bool hasHardwareCrc() {
    static const bool has = __builtin_cpu_supports("sse4.2");
    return has;
}
#endif

}  // namespace

uint32_t crc32c(const uint8_t* data, size_t size) {
#if defined(__x86_64__)
    if (hasHardwareCrc()) return ~crcHardware(0xFFFFFFFFu, data, size);
#endif
    return ~crcPortable(0xFFFFFFFFu, data, size);
}

}  // namespace kl::e57
