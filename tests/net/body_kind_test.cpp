#include "net/body_kind.h"

#include <gtest/gtest.h>

namespace kl::net {
namespace {

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
