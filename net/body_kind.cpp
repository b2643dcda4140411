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
        case ExpectedBody::Json: fits = looksJson(head); break;
        case ExpectedBody::Zip: fits = looksZip(head); break;
        case ExpectedBody::Image: fits = looksImage(head); break;
        case ExpectedBody::PointCloud: fits = head.substr(0, 4) == "LASF" || looksZip(head); break;
        case ExpectedBody::Binary:
        case ExpectedBody::Any: break;
    }
    return fits ? std::string() : std::string("Serwer zwrocil dane w nieoczekiwanym formacie.");
}

}  // namespace kl::net
