#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "cloud/e57/crc32c.h"

namespace {
uint32_t bitwiseCrc32c(const uint8_t* p, size_t n) {
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0x82F63B78u : c >> 1;
    }
    return ~c;
}
}  // namespace

TEST(Crc32c, GivesTheStandardCheckValueAndMatchesTheBitwiseDefinitionAtEveryLengthAndAlignment) {
    const char* s = "123456789";
    EXPECT_EQ(kl::e57::crc32c(reinterpret_cast<const uint8_t*>(s), 9), 0xE3069283u);
    std::mt19937 rng(7);
    std::vector<uint8_t> buf(2100);
    for (auto& b : buf) b = static_cast<uint8_t>(rng());
    for (size_t off = 0; off < 8; ++off)
        for (size_t len : {0u, 1u, 7u, 8u, 9u, 63u, 1020u, 2043u})
            EXPECT_EQ(kl::e57::crc32c(buf.data() + off, len), bitwiseCrc32c(buf.data() + off, len)) << off << " " << len;
}
