// The texts of an HTTP exchange: URL pieces, sizes and numbers as the
// add-on writes them, SHA-1 cache names, and what a body must be to count as
// the data that was asked for.
#include "net/body_kind.h"
#include "net/sha1.h"
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

TEST(Sha1, MatchesPublishedVectors) {
    EXPECT_EQ(sha1Hex(""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(sha1Hex("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(sha1Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
    EXPECT_EQ(sha1Hex(std::string(1000000, 'a')), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
    // 55, 56 and 64 bytes cross the one-block / two-block padding edge.
    EXPECT_EQ(sha1Hex(std::string(55, 'a')), "c1c8bbdc22796e28c0e15163d20899b65621d65a");
    EXPECT_EQ(sha1Hex(std::string(56, 'a')), "c2db330f6083854c99d4b5bfb6e8f29f201be699");
    EXPECT_EQ(sha1Hex(std::string(64, 'a')), "0098ba824b5c16427bd7a1122a5a442a25ec644d");
}

const char* kCollection =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- served -->\n<wfs:FeatureCollection "
    "xmlns:wfs=\"http://www.opengis.net/wfs/2.0\"></wfs:FeatureCollection>";
const char* kException =
    "<?xml version=\"1.0\"?><ows:ExceptionReport xmlns:ows=\"http://www.opengis.net/ows/1.1\">"
    "<ows:Exception exceptionCode=\"InvalidParameterValue\"/></ows:ExceptionReport>";
const char* kWmsException = "<?xml version='1.0'?><ServiceExceptionReport version=\"1.1.1\"/>";
const char* kHtml = "\n<!DOCTYPE HTML><html><body>Przerwa techniczna</body></html>";

TEST(BodyKind, AcceptsDocumentsOfTheExpectedKind) {
    EXPECT_EQ(bodyMismatch(ExpectedBody::Xml, kCollection), "");
    EXPECT_EQ(bodyMismatch(ExpectedBody::Text, kCollection), "");
    EXPECT_EQ(bodyMismatch(ExpectedBody::Text, " {\"a\":1}"), "");
    EXPECT_EQ(bodyMismatch(ExpectedBody::Json, "\xEF\xBB\xBF[1]"), "");
    EXPECT_EQ(bodyMismatch(ExpectedBody::Zip, std::string("PK\x03\x04rest", 8)), "");
    EXPECT_EQ(bodyMismatch(ExpectedBody::Image, std::string("\x89PNG\r\n\x1a\n....", 12)), "");
    EXPECT_EQ(bodyMismatch(ExpectedBody::Image, "\xFF\xD8\xFF\xE0"), "");
    EXPECT_EQ(bodyMismatch(ExpectedBody::PointCloud, "LASF...."), "");
    EXPECT_EQ(bodyMismatch(ExpectedBody::Binary, "anything"), "");
    EXPECT_EQ(bodyMismatch(ExpectedBody::Any, ""), "");
}

TEST(BodyKind, RejectsExceptionReportsAndHtmlWhateverIsExpected) {
    for (auto kind : {ExpectedBody::Text, ExpectedBody::Xml, ExpectedBody::Zip, ExpectedBody::Image,
                      ExpectedBody::Binary}) {
        EXPECT_EQ(bodyMismatch(kind, kException), "Serwer zwrocil raport bledu OGC zamiast danych.");
        EXPECT_EQ(bodyMismatch(kind, kWmsException), "Serwer zwrocil raport bledu OGC zamiast danych.");
        EXPECT_EQ(bodyMismatch(kind, kHtml), "Serwer zwrocil strone HTML zamiast danych.");
    }
    EXPECT_EQ(bodyMismatch(ExpectedBody::Xml, "<html><head></head></html>"),
              "Serwer zwrocil strone HTML zamiast danych.");
}

TEST(BodyKind, RejectsWrongFormatsAndEmptyBodies) {
    EXPECT_NE(bodyMismatch(ExpectedBody::Xml, "{\"json\":true}"), "");
    EXPECT_NE(bodyMismatch(ExpectedBody::Json, kCollection), "");
    EXPECT_NE(bodyMismatch(ExpectedBody::Zip, "LASF"), "");
    EXPECT_NE(bodyMismatch(ExpectedBody::Image, kCollection), "");
    EXPECT_EQ(bodyMismatch(ExpectedBody::Text, ""), "Serwer zwrocil pusta odpowiedz.");
    EXPECT_NE(bodyMismatch(ExpectedBody::Xml, "<!-- never closed"), "");
}

TEST(BodyKind, AWholeXmlDocumentMustEnd) {
    const std::string collection = kCollection;
    const std::string caps = "<WMT_MS_Capabilities version=\"1.1.1\"><Name>a</Name></WMT_MS_Capabilities >";
    const std::string cut = "Odpowiedz serwera urwana - niepelny dokument XML.";
    struct Row {
        ExpectedBody expected;
        std::string body;
        std::string problem;
    };
    const Row rows[] = {
        {ExpectedBody::Xml, collection, ""},
        {ExpectedBody::Xml, collection + "\n<!-- served in 3 ms -->\n", ""},
        {ExpectedBody::Text, "<wfs:FeatureCollection numberReturned=\"0\"/>", ""},
        {ExpectedBody::Text, "{\"a\":[1,2", ""},  // only XML is checked for its end
        {ExpectedBody::Capabilities, caps, ""},
        {ExpectedBody::Xml, collection.substr(0, collection.size() - 1), cut},
        {ExpectedBody::Xml, collection.substr(0, collection.size() - 24) + "<a></a>", cut},
        {ExpectedBody::Capabilities, caps.substr(0, 50), cut},
        {ExpectedBody::Capabilities, collection, "Serwer nie zwrocil opisu uslugi (GetCapabilities)."},
    };
    for (const Row& r : rows) EXPECT_EQ(wholeBodyMismatch(r.expected, r.body), r.problem) << r.body;
}

}  // namespace
}  // namespace kl::net
