#include "net/wfs_requests.h"

#include "geodata/polish_crs.h"
#include "net/url_text.h"

namespace kl::net {
namespace {

std::string joinBox(double a, double b, double c, double d) {
    return formatNumber(a, 10) + "," + formatNumber(b, 10) + "," + formatNumber(c, 10) + "," + formatNumber(d, 10);
}

std::string withSeparator(std::string_view baseUrl) {
    return std::string(baseUrl) + querySeparatorFor(baseUrl);
}

}  // namespace

std::string buildGetFeatureUrl(const GetFeatureParams& p) {
    std::string url = withSeparator(p.baseUrl);
    if (p.wfs110) {
        url += "service=WFS&version=1.1.0&request=GetFeature";
        url += "&typename=" + urlEncode(p.typeName);
        url += "&maxFeatures=" + std::to_string(p.count);
    } else {
        url += "service=WFS&version=2.0.0&request=GetFeature";
        url += "&typenames=" + urlEncode(p.typeName);
        url += "&COUNT=" + std::to_string(p.count);
        if (p.startIndex > 0) url += "&STARTINDEX=" + std::to_string(p.startIndex);
    }
    geo::Bbox box = p.frame;
    int code = geo::kEpsgPl1992;
    if (geo::isPl2000Epsg(p.epsg)) {
        code = p.epsg;
        // All four corners: a two-corner box would miss strips along the edges.
        box = geo::pl2000BoxFromPl1992(p.frame, code);
        url += "&SRSNAME=" + urlEncode("EPSG:" + std::to_string(code));
    }
    std::string value = p.northingFirst ? joinBox(box.minY, box.minX, box.maxY, box.maxX)
                                        : joinBox(box.minX, box.minY, box.maxX, box.maxY);
    value += ",urn:ogc:def:crs:EPSG::" + std::to_string(code);
    url += "&BBOX=" + urlEncode(value);
    return url;
}

std::string buildGetMapUrl(std::string_view baseUrl, std::string_view layers, int width, int height, int epsg,
                           double minX, double minY, double maxX, double maxY) {
    std::string url = withSeparator(baseUrl);
    url += "service=WMS&version=1.1.1&request=GetMap";
    url += "&layers=" + urlEncode(layers);
    url += "&styles=&format=" + urlEncode("image/png");
    url += "&transparent=true&SRS=" + urlEncode("EPSG:" + std::to_string(epsg));
    url += "&WIDTH=" + std::to_string(width);
    url += "&HEIGHT=" + std::to_string(height);
    url += "&BBOX=" + urlEncode(joinBox(minX, minY, maxX, maxY));
    return url;
}

std::string buildCapabilitiesUrl(std::string_view baseUrl, std::string_view service, std::string_view version) {
    std::string url = withSeparator(baseUrl) + "service=" + std::string(service);
    if (!version.empty()) url += "&version=" + std::string(version);
    return url + "&request=GetCapabilities";
}

std::string buildWholeLayerUrl(std::string_view baseUrl, std::string_view typeName, bool hitsOnly) {
    std::string url = withSeparator(baseUrl) + "service=WFS&version=2.0.0&request=GetFeature&typenames=" +
                      urlEncode(typeName);
    if (hitsOnly) url += "&resultType=hits";
    return url;
}

}  // namespace kl::net
