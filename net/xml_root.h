#pragma once
// A quick look at the first element of an XML text without parsing the rest:
// enough to tell an exception report from a collection and to read paging
// counts of a WFS answer.
#include <optional>
#include <string>
#include <string_view>

namespace kl::net {

// The start tag of the root element without "<" and ">" (skipping the BOM, the
// XML declaration, comments and the doctype); empty when there is none.
std::string_view rootStartTag(std::string_view xml);

// Qualified name of the root element.
std::string_view rootElementName(std::string_view xml);

// Value of an attribute of a start tag, matched by its local name, with the
// predefined entities decoded (a link carries its ampersands as "&amp;").
std::optional<std::string> tagAttribute(std::string_view startTag, std::string_view localName);

// Text with the five predefined XML entities decoded; any other "&" stays.
std::string decodeXmlEntities(std::string_view text);

// Paging counts of a WFS collection; -1 when absent or "unknown".
struct CollectionCounts {
    long long numberReturned = -1;  // WFS 2.0 numberReturned or 1.1 numberOfFeatures
    long long numberMatched = -1;
    std::string next;               // the "next" link; empty when none
};
CollectionCounts collectionCounts(std::string_view xml);

}  // namespace kl::net
