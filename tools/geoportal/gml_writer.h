#pragma once
// WFS answers in the MapServer manner: GML 3.2 for WFS 2.0.0, GML 3.1.1 with
// featureMember for WFS 1.1.0, and OWS exception reports.

#include "tools/geoportal/service_family.h"

#include <string>
#include <vector>

namespace kl::geoportal {

struct CollectionStyle {
    bool wfs11 = false;
    int epsg = 2180;
    bool northingFirst = true;  // order of the numbers in every written pair
    bool srsOnGeometry = true;  // false: only the collection envelope names the CRS
    // Non-zero: every feature gets an id made for this answer alone
    // ("<type>.fid--<answer>-<n>"), as GeoServer issues them.
    unsigned long long freshIdAnswer = 0;
    std::string prefix = "ms";
    std::string namespaceUri;
};

struct CollectionPage {
    long long numberMatched = 0;
    bool matchedUnknown = false;
    bool hitsOnly = false;
    std::string nextUrl;  // empty: no further page
};

std::string writeFeatureCollection(const WfsLayer& layer, const std::vector<const DemoFeature*>& features,
                                   const CollectionStyle& style, const CollectionPage& page);

// A property value written as a GML time instant (<gml:timePosition>) rather than as text.
std::string timePositionValue(std::string_view isoDate);

std::string exceptionReport(std::string_view code, std::string_view locator, std::string_view text, bool wfs11);

// Text of a coordinate pair in the style's system and order.
std::string formatPair(Xy pl1992, const CollectionStyle& style);

}  // namespace kl::geoportal
