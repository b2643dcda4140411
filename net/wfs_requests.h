#pragma once
// Query texts of the OGC requests the add-on sends.
#include "geodata/geometry.h"

#include <string>
#include <string_view>

namespace kl::net {

struct GetFeatureParams {
    std::string baseUrl;
    std::string typeName;
    int count = 1000;
    int startIndex = 0;  // 0: none sent
    geo::Bbox frame;     // PL-1992
    bool northingFirst = true;
    bool wfs110 = false;
    int epsg = 2180;     // 2176..2179 ask for that zone; anything else means 2180
};

std::string buildGetFeatureUrl(const GetFeatureParams& p);

// WMS 1.1.1 GetMap, box easting first in the request CRS, PNG, transparent.
std::string buildGetMapUrl(std::string_view baseUrl, std::string_view layers, int width, int height, int epsg,
                           double minX, double minY, double maxX, double maxY);

// service=<service>&request=GetCapabilities, with "&version=" only when given.
std::string buildCapabilitiesUrl(std::string_view baseUrl, std::string_view service,
                                 std::string_view version = {});

// WFS 2.0.0 GetFeature for the whole layer; with hitsOnly only its count.
std::string buildWholeLayerUrl(std::string_view baseUrl, std::string_view typeName, bool hitsOnly);

}  // namespace kl::net
