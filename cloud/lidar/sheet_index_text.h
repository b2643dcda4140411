#pragma once
// Text scan of the national sheet-index WFS answers (LiDAR tiles, elevation
// sheets). These answers are large and regular, so they are read by plain
// search instead of an XML parser.
#include <functional>
#include <string>
#include <string_view>

namespace kl::cloud {

// Text of the element "gugik:<name>" found at or after from: from its
// opening tag to the next "</gugik:", trimmed of spaces, tabs, CR and LF.
// Empty when the tag is missing.
std::string indexElementText(std::string_view text, size_t from, std::string_view name);

// Calls visit(memberStart, urlTagPos) for every "gugik:url_do_pobrania>" of
// the answer; memberStart is the last "<wfs:member" at or before it (0 when
// there is none), urlTagPos the position of the tag's "gugik:".
void forEachIndexMember(std::string_view text, const std::function<void(size_t memberStart, size_t urlTagPos)>& visit);

// Leading decimal number of a text such as "12 p/m2" or "12,5"; 0 when none.
double leadingDecimal(std::string_view text);

}  // namespace kl::cloud
