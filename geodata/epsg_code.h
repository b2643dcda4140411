#pragma once

#include <string_view>

namespace kl::geo {

// The Polish system named in a free text: the first of 2176, 2177, 2178,
// 2179, 2180 (in that fixed order) that appears as a whole digit group, i.e.
// not preceded or followed by another digit. 0 when none appears.
int findPolishEpsg(std::string_view text) noexcept;

// EPSG code of a GML srsName: after the first "EPSG" (any letter case) the
// last run of digits with a value above 0, so the urn form ("::2180"), the
// short form (":2180"), the URI form with a version segment ("/0/2180") and
// "epsg.xml#2180" all give the code. A compound name (horizontal plus height
// system: "urn:ogc:def:crs,crs:EPSG::2177,crs:EPSG::9651", "EPSG:2180+9651")
// gives its horizontal code, the first part's. 0 when there is none.
int epsgFromSrsName(std::string_view srsName) noexcept;

}  // namespace kl::geo
