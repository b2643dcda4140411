#include "net/url_text.h"

#include <gtest/gtest.h>

namespace kl::net {
namespace {

TEST(UrlEncode, KeepsUnreservedAndEncodesTheRestUppercase) {
    EXPECT_EQ(urlEncode("AZaz09-._~"), "AZaz09-._~");
    EXPECT_EQ(urlEncode("EPSG:2180"), "EPSG%3A2180");
    EXPECT_EQ(urlEncode("1,2"), "1%2C2");
    EXPECT_EQ(urlEncode("a b/c"), "a%20b%2Fc");
    EXPECT_EQ(urlEncode("ms:działki"), "ms%3Adzia%C5%82ki");
    EXPECT_EQ(urlEncode(std::string("\x00\xff", 2)), "%00%FF");
}

struct SizeCase {
    std::int64_t bytes;
    const char* text;
};

class FormatSize : public ::testing::TestWithParam<SizeCase> {};

TEST_P(FormatSize, UsesDecimalCommaAndUnitSteps) {
    EXPECT_EQ(formatSize(GetParam().bytes), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Cases, FormatSize,
                         ::testing::Values(SizeCase{0, "0 B"}, SizeCase{1023, "1023 B"}, SizeCase{1024, "1,0 KB"},
                                           SizeCase{1536, "1,5 KB"}, SizeCase{1048575, "1024,0 KB"},
                                           SizeCase{1048576, "1,0 MB"}, SizeCase{1572864, "1,5 MB"},
                                           SizeCase{3145728, "3,0 MB"}));

TEST(HostOf, TakesTheAuthorityOrTheWholeText) {
    EXPECT_EQ(hostOf("https://mapy.geoportal.gov.pl/wss/service"), "mapy.geoportal.gov.pl");
    EXPECT_EQ(hostOf("http://127.0.0.1:8080"), "127.0.0.1:8080");
    EXPECT_EQ(hostOf("no-scheme/path"), "no-scheme/path");
}

TEST(FormatNumber, IgnoresTheProcessLocale) {
    EXPECT_EQ(formatNumber(485123.25, 10), "485123.25");
    EXPECT_EQ(formatNumber(5789012.123456, 10), "5789012.123");
    EXPECT_EQ(formatNumber(0.5), "0.5");
}

}  // namespace
}  // namespace kl::net
