#pragma once
// Text scan of the national sheet-index WFS answers (LiDAR tiles, elevation
// sheets). These answers are large and regular, so they are read by plain
// search instead of an XML parser.
#include <functional>
#include <string>
#include <string_view>

#include "net/http_types.h"

namespace kl::net {

// Text of the element "gugik:<name>" found at or after from and before to:
// from its opening tag to the next "</gugik:", trimmed of spaces, tabs, CR
// and LF. Empty when the tag is missing from that range.
std::string indexElementText(std::string_view text, size_t from, std::string_view name,
                             size_t to = std::string_view::npos);

// One record of an answer: where its "<wfs:member" starts (0 when there is
// none), where its "gugik:url_do_pobrania>" tag is and where the record ends
// (its "</wfs:member", else the next member, else the end of the text).
struct IndexMember {
    size_t start = 0;
    size_t urlTag = 0;
    size_t end = 0;
};

// Calls visit for every "gugik:url_do_pobrania>" of the answer.
void forEachIndexMember(std::string_view text, const std::function<void(const IndexMember&)>& visit);

// Leading decimal number of a text such as "12 p/m2" or "12,5"; 0 when none
// or when it is not a finite, non-negative number.
double leadingDecimal(std::string_view text);

// True when the answer is a whole feature collection: its root opens and
// closes. An exception report, an HTML page or a body cut short is not.
bool isWholeFeatureCollection(std::string_view answer);

// Current calendar year (UTC); the yearly indexes are walked back from the next one.
int currentUtcYear();

// Why an index answer cannot be read as a page of results; empty when it can.
std::string indexAnswerProblem(const HttpResponse& response);

// A year the service does not offer is refused with a 4xx, or with an
// exception report naming a bad parameter (the type name): that year simply
// has no data. Anything else that is not an answer means the service failed.
bool indexLayerNotOffered(const HttpResponse& response);

}  // namespace kl::net
