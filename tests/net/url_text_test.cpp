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

TEST(FormatSize, UsesDecimalCommaAndUnitSteps) {
    const std::pair<std::int64_t, const char*> rows[] = {{0, "0 B"},          {1023, "1023 B"},       {1024, "1,0 KB"},
                                                         {1536, "1,5 KB"},    {1048575, "1024,0 KB"}, {1048576, "1,0 MB"},
                                                         {3145728, "3,0 MB"}};
    for (const auto& [bytes, text] : rows) EXPECT_EQ(formatSize(bytes), text);
}

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
