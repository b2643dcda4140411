#include "net/body_kind.h"

#include "net/xml_root.h"

#include <cctype>

namespace kl::net {
namespace {

std::string_view skipPreamble(std::string_view s) {
    if (s.substr(0, 3) == "\xEF\xBB\xBF") s.remove_prefix(3);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    return s;
}

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

bool looksHtml(std::string_view s) {
    s = skipPreamble(s);
    if (startsWithNoCase(s, "<!doctype html")) return true;
    auto root = rootElementName(s);
    return startsWithNoCase(root, "html") && (root.size() == 4);
}

bool looksExceptionReport(std::string_view s) {
    auto root = rootElementName(s);
    auto colon = root.find(':');
    auto local = colon == std::string_view::npos ? root : root.substr(colon + 1);
    return local == "ExceptionReport" || local == "ServiceExceptionReport";
}

bool looksXml(std::string_view s) { return !rootElementName(s).empty(); }

bool looksCapabilities(std::string_view s) {
    const std::string_view root = rootElementName(s);
    const std::string_view suffix = "Capabilities";
    return root.size() >= suffix.size() && root.substr(root.size() - suffix.size()) == suffix;
}

std::string_view trimEnd(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

// The root element is closed at the end of the text (comments may follow).
bool xmlDocumentEnds(std::string_view doc) {
    const std::string_view tag = rootStartTag(doc);
    if (tag.empty()) return false;
    const std::size_t tagEnd = static_cast<std::size_t>(tag.data() - doc.data()) + tag.size();
    if (tagEnd < doc.size() && doc[tagEnd] == '/') return true;  // <root/>
    std::string_view rest = trimEnd(doc.substr(tagEnd));
    while (rest.size() >= 3 && rest.substr(rest.size() - 3) == "-->") {
        const auto open = rest.rfind("<!--");
        if (open == std::string_view::npos) return false;
        rest = trimEnd(rest.substr(0, open));
    }
    if (rest.empty() || rest.back() != '>') return false;
    const auto close = rest.rfind("</");
    if (close == std::string_view::npos) return false;
    const std::string_view name = trimEnd(rest.substr(close + 2, rest.size() - close - 3));
    return name == rootElementName(doc);
}

bool looksJson(std::string_view s) {
    s = skipPreamble(s);
    return !s.empty() && (s.front() == '{' || s.front() == '[');
}

bool looksZip(std::string_view s) {
    return s.substr(0, 4) == std::string_view("PK\x03\x04", 4) || s.substr(0, 4) == std::string_view("PK\x05\x06", 4);
}

bool looksImage(std::string_view s) {
    return s.substr(0, 8) == std::string_view("\x89PNG\r\n\x1a\n", 8) || s.substr(0, 3) == "\xFF\xD8\xFF" ||
           s.substr(0, 4) == "GIF8" || s.substr(0, 4) == std::string_view("II*\0", 4) ||
           s.substr(0, 4) == std::string_view("MM\0*", 4);
}

}  // namespace

std::string bodyMismatch(ExpectedBody expected, std::string_view head) {
    if (expected == ExpectedBody::Any) return {};
    if (head.empty()) return "Serwer zwrocil pusta odpowiedz.";
    if (looksHtml(head)) return "Serwer zwrocil strone HTML zamiast danych.";
    if (looksExceptionReport(head)) return "Serwer zwrocil raport bledu OGC zamiast danych.";
    bool fits = true;
    switch (expected) {
        case ExpectedBody::Text: fits = looksXml(head) || looksJson(head); break;
        case ExpectedBody::Xml: fits = looksXml(head); break;
        case ExpectedBody::Capabilities:
            if (!looksCapabilities(head)) return "Serwer nie zwrocil opisu uslugi (GetCapabilities).";
            break;
        case ExpectedBody::Json: fits = looksJson(head); break;
        case ExpectedBody::Zip: fits = looksZip(head); break;
        case ExpectedBody::Image: fits = looksImage(head); break;
        case ExpectedBody::PointCloud: fits = head.substr(0, 4) == "LASF" || looksZip(head); break;
        case ExpectedBody::Binary:
        case ExpectedBody::Any: break;
    }
    return fits ? std::string() : std::string("Serwer zwrocil dane w nieoczekiwanym formacie.");
}

std::string wholeBodyMismatch(ExpectedBody expected, std::string_view body) {
    std::string problem = bodyMismatch(expected, body.substr(0, kBodyHeadBytes));
    if (!problem.empty() || expected == ExpectedBody::Any || !looksXml(body.substr(0, kBodyHeadBytes))) return problem;
    const bool xmlExpected =
        expected == ExpectedBody::Text || expected == ExpectedBody::Xml || expected == ExpectedBody::Capabilities;
    if (xmlExpected && !xmlDocumentEnds(body)) return "Odpowiedz serwera urwana - niepelny dokument XML.";
    return {};
}

}  // namespace kl::net
