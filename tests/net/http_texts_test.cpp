// The texts of an HTTP exchange: numbers as the add-on writes them, SHA-1
// cache names, and what a body must be to count as the data that was asked
// for. (URL encoding is checked where requests are built and arrive whole,
// sizes in the download failures that name them.)
#include "net/body_kind.h"
#include "net/sha1.h"
#include "net/url_text.h"

#include <gtest/gtest.h>

namespace kl::net {
namespace {

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

// "*": refused, whatever the reason.
TEST(BodyKind, AcceptsDocumentsOfTheExpectedKindOnly) {
    const struct {
        ExpectedBody kind;
        std::string body;
        std::string problem;
    } rows[] = {
        {ExpectedBody::Xml, kCollection, ""},
        {ExpectedBody::Text, kCollection, ""},
        {ExpectedBody::Text, " {\"a\":1}", ""},
        {ExpectedBody::Json, "\xEF\xBB\xBF[1]", ""},
        {ExpectedBody::Zip, std::string("PK\x03\x04rest", 8), ""},
        {ExpectedBody::Image, std::string("\x89PNG\r\n\x1a\n....", 12), ""},
        {ExpectedBody::Image, "\xFF\xD8\xFF\xE0", ""},
        {ExpectedBody::PointCloud, "LASF....", ""},
        {ExpectedBody::Binary, "anything", ""},
        {ExpectedBody::Any, "", ""},
        {ExpectedBody::Xml, "{\"json\":true}", "*"},
        {ExpectedBody::Json, kCollection, "*"},
        {ExpectedBody::Zip, "LASF", "*"},
        {ExpectedBody::Image, kCollection, "*"},
        {ExpectedBody::Xml, "<!-- never closed", "*"},
        {ExpectedBody::Text, "", "Serwer zwrocil pusta odpowiedz."},
        {ExpectedBody::Xml, "<html><head></head></html>", "Serwer zwrocil strone HTML zamiast danych."},
    };
    for (const auto& r : rows) {
        const std::string problem = bodyMismatch(r.kind, r.body);
        EXPECT_EQ(r.problem == "*" ? !problem.empty() : problem == r.problem, true) << r.body << ": " << problem;
    }
}

TEST(BodyKind, RejectsExceptionReportsAndHtmlWhateverIsExpected) {
    for (auto kind : {ExpectedBody::Text, ExpectedBody::Xml, ExpectedBody::Zip, ExpectedBody::Image,
                      ExpectedBody::Binary}) {
        EXPECT_EQ(bodyMismatch(kind, kException), "Serwer zwrocil raport bledu OGC zamiast danych.");
        EXPECT_EQ(bodyMismatch(kind, kWmsException), "Serwer zwrocil raport bledu OGC zamiast danych.");
        EXPECT_EQ(bodyMismatch(kind, kHtml), "Serwer zwrocil strone HTML zamiast danych.");
    }
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
