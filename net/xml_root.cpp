#include "net/xml_root.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <iterator>
#include <utility>

namespace kl::net {
namespace {

bool isSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

std::string_view skipSpace(std::string_view s) {
    while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
    return s;
}

long long countValue(const std::optional<std::string>& text) {
    if (!text) return -1;
    long long v = -1;
    const char* b = text->data();
    const auto r = std::from_chars(b, b + text->size(), v);
    return r.ec == std::errc() && r.ptr == b + text->size() && v >= 0 ? v : -1;
}

}  // namespace

std::string_view rootStartTag(std::string_view s) {
    if (s.substr(0, 3) == "\xEF\xBB\xBF") s.remove_prefix(3);
    while (true) {
        s = skipSpace(s);
        if (s.empty() || s.front() != '<') return {};
        std::string_view terminator = ">";
        if (s.substr(0, 4) == "<!--")
            terminator = "-->";
        else if (s.substr(0, 2) == "<?")
            terminator = "?>";
        else if (s.substr(0, 2) != "<!") {
            const auto end = s.find('>');
            if (end == std::string_view::npos) return {};
            std::string_view tag = s.substr(1, end - 1);
            if (!tag.empty() && tag.back() == '/') tag.remove_suffix(1);
            return tag;
        }
        const auto end = s.find(terminator);
        if (end == std::string_view::npos) return {};
        s.remove_prefix(end + terminator.size());
    }
}

std::string_view rootElementName(std::string_view xml) {
    const std::string_view tag = rootStartTag(xml);
    std::size_t n = 0;
    while (n < tag.size() && !isSpace(tag[n])) ++n;
    return tag.substr(0, n);
}

std::optional<std::string> tagAttribute(std::string_view tag, std::string_view wanted) {
    std::size_t i = 0;
    while (i < tag.size() && !isSpace(tag[i])) ++i;  // element name
    while (i < tag.size()) {
        while (i < tag.size() && isSpace(tag[i])) ++i;
        const std::size_t nameStart = i;
        while (i < tag.size() && tag[i] != '=' && !isSpace(tag[i])) ++i;
        std::string_view name = tag.substr(nameStart, i - nameStart);
        while (i < tag.size() && isSpace(tag[i])) ++i;
        if (i >= tag.size() || tag[i] != '=') return std::nullopt;
        ++i;
        while (i < tag.size() && isSpace(tag[i])) ++i;
        if (i >= tag.size() || (tag[i] != '"' && tag[i] != '\'')) return std::nullopt;
        const char quote = tag[i++];
        const std::size_t valueEnd = tag.find(quote, i);
        if (valueEnd == std::string_view::npos) return std::nullopt;
        const std::string_view value = tag.substr(i, valueEnd - i);
        i = valueEnd + 1;
        const auto colon = name.find(':');
        if (colon != std::string_view::npos) name = name.substr(colon + 1);
        if (name == wanted) return decodeXmlEntities(value);
    }
    return std::nullopt;
}

std::string decodeXmlEntities(std::string_view s) {
    static constexpr std::pair<std::string_view, char> kEntities[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto entity = s[i] != '&' ? std::end(kEntities)
                                        : std::find_if(std::begin(kEntities), std::end(kEntities),
                                                       [&](const auto& e) { return s.substr(i, e.first.size()) == e.first; });
        if (entity == std::end(kEntities)) {
            out.push_back(s[i]);
            continue;
        }
        out.push_back(entity->second);
        i += entity->first.size() - 1;
    }
    return out;
}

CollectionCounts collectionCounts(std::string_view xml) {
    const std::string_view tag = rootStartTag(xml);
    CollectionCounts c;
    c.numberReturned = countValue(tagAttribute(tag, "numberReturned"));
    if (c.numberReturned < 0) c.numberReturned = countValue(tagAttribute(tag, "numberOfFeatures"));
    c.numberMatched = countValue(tagAttribute(tag, "numberMatched"));
    c.next = tagAttribute(tag, "next").value_or("");
    return c;
}

}  // namespace kl::net
