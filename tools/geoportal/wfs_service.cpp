#include "tools/geoportal/wfs_service.h"

#include "tools/geoportal/crs.h"
#include "tools/geoportal/geometry.h"
#include "tools/geoportal/gml_writer.h"
#include "tools/geoportal/text_util.h"

#include <algorithm>
#include <atomic>
#include <optional>

namespace kl::geoportal {

namespace {

constexpr const char* kGml32Type = "text/xml; subtype=\"gml/3.2.1\"; charset=UTF-8";
constexpr const char* kGml31Type = "text/xml; subtype=\"gml/3.1.1\"; charset=UTF-8";
constexpr int kOfferedCrs[] = {2180, 2176, 2177, 2178, 2179, 4326};

// Numbers the answers of the "freshids" profile, so no two share an id.
std::atomic<unsigned long long> answersWithFreshIds{0};

Reply failure(std::string_view code, std::string_view locator, std::string_view text, bool wfs11) {
    return {400, "text/xml; charset=UTF-8", exceptionReport(code, locator, text, wfs11)};
}

bool wantsWfs11(const ServiceRequest& req) {
    std::string version = req.param("version");
    if (version.empty()) version = req.param("acceptversions");
    if (version.empty()) return req.profile == "wfs11";
    return version.rfind("1.", 0) == 0;
}

std::string capabilities(const ServiceFamily& family, const ServiceRequest& req, bool wfs11) {
    const std::string version = wfs11 ? "1.1.0" : "2.0.0";
    const std::string wfsNs = wfs11 ? "http://www.opengis.net/wfs" : "http://www.opengis.net/wfs/2.0";
    const std::string owsNs = wfs11 ? "http://www.opengis.net/ows" : "http://www.opengis.net/ows/1.1";
    const std::string href = xmlEscape(req.selfUrl + "?");
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    out += "<wfs:WFS_Capabilities xmlns:wfs=\"" + wfsNs + "\" xmlns:ows=\"" + owsNs +
           "\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" xmlns:" + family.prefix + "=\"" + family.namespaceUri +
           "\" xmlns=\"" + wfsNs + "\" version=\"" + version + "\">\n";
    out += "  <ows:ServiceIdentification>\n    <ows:Title>" + xmlEscape(family.title) + "</ows:Title>\n";
    out += "    <ows:ServiceType codeSpace=\"OGC\">WFS</ows:ServiceType>\n    <ows:ServiceTypeVersion>" + version +
           "</ows:ServiceTypeVersion>\n  </ows:ServiceIdentification>\n  <ows:OperationsMetadata>\n";
    for (const char* op : {"GetCapabilities", "DescribeFeatureType", "GetFeature"})
        out += std::string("    <ows:Operation name=\"") + op +
               "\">\n      <ows:DCP><ows:HTTP><ows:Get xlink:type=\"simple\" xlink:href=\"" + href +
               "\"/></ows:HTTP></ows:DCP>\n    </ows:Operation>\n";
    if (!wfs11)
        out += "    <ows:Constraint name=\"ImplementsResultPaging\"><ows:NoValues/><ows:DefaultValue>TRUE</ows:DefaultValue></ows:Constraint>\n";
    out += "  </ows:OperationsMetadata>\n  <FeatureTypeList>\n";
    const Box frame = DemoArea::instance().frame();
    const Xy sw = fromPl1992(4326, {frame.minX, frame.minY}), ne = fromPl1992(4326, {frame.maxX, frame.maxY});
    for (const auto& layer : family.wfsLayers) {
        out += "    <FeatureType>\n      <Name>" + xmlEscape(layer.typeName) + "</Name>\n      <Title>" +
               xmlEscape(layer.title) + "</Title>\n";
        bool first = true;
        for (int code : kOfferedCrs) {
            const char* tag = first ? (wfs11 ? "DefaultSRS" : "DefaultCRS") : (wfs11 ? "OtherSRS" : "OtherCRS");
            out += std::string("      <") + tag + ">urn:ogc:def:crs:EPSG::" + formatInt(code) + "</" + tag + ">\n";
            first = false;
        }
        out += "      <ows:WGS84BoundingBox>\n        <ows:LowerCorner>" + formatFixed(sw.x, 6) + " " + formatFixed(sw.y, 6) +
               "</ows:LowerCorner>\n        <ows:UpperCorner>" + formatFixed(ne.x, 6) + " " + formatFixed(ne.y, 6) +
               "</ows:UpperCorner>\n      </ows:WGS84BoundingBox>\n    </FeatureType>\n";
    }
    out += "  </FeatureTypeList>\n</wfs:WFS_Capabilities>\n";
    return out;
}

const WfsLayer* findLayer(const ServiceFamily& family, std::string_view requested) {
    for (const auto& layer : family.wfsLayers) {
        if (iequals(layer.typeName, requested)) return &layer;
        const auto colon = layer.typeName.find(':');
        if (requested.find(':') == std::string_view::npos && colon != std::string::npos &&
            iequals(std::string_view(layer.typeName).substr(colon + 1), requested))
            return &layer;
    }
    return nullptr;
}

struct BboxQuery {
    Box pl1992;
    bool valid = false;
};

// BBOX=a,b,c,d[,crs]. An easting-first server ("xy" profile) reads every box as
// x/y; otherwise a URN-style CRS means the official axis order of that system.
std::optional<BboxQuery> parseBbox(std::string_view text, int defaultEpsg, bool eastingFirstServer) {
    auto parts = split(text, ',');
    if (parts.size() != 4 && parts.size() != 5) return std::nullopt;
    double v[4];
    for (int i = 0; i < 4; ++i) {
        auto d = parseDouble(parts[static_cast<size_t>(i)]);
        if (!d) return std::nullopt;
        v[i] = *d;
    }
    int epsg = defaultEpsg;
    bool official = true;
    if (parts.size() == 5) {
        epsg = epsgFromCrsText(parts[4]);
        official = isUrnStyleCrs(parts[4]);
    }
    if (!isKnownEpsg(epsg)) return std::nullopt;
    Box box{v[0], v[1], v[2], v[3]};
    if (!eastingFirstServer && official && northingFirstByDefinition(epsg)) box = {v[1], v[0], v[3], v[2]};
    if (box.minX > box.maxX || box.minY > box.maxY) return BboxQuery{{}, false};  // matches nothing
    return BboxQuery{boxToPl1992(epsg, box), true};
}

Reply getFeature(const ServiceFamily& family, const ServiceRequest& req, bool wfs11) {
    std::string typeNames = req.param("typenames");
    if (typeNames.empty()) typeNames = req.param("typename");
    if (typeNames.empty())
        return failure("MissingParameterValue", "typename", "GetFeature: missing TYPENAME(S) parameter.", wfs11);
    const std::string requested(split(typeNames, ',').front());
    const WfsLayer* layer = findLayer(family, requested);
    if (!layer)
        return failure("InvalidParameterValue", "typename",
                       "GetFeature: type name '" + requested + "' is not offered by this service.", wfs11);

    int outEpsg = 2180;
    if (std::string srs = req.param("srsname"); !srs.empty()) {
        outEpsg = epsgFromCrsText(srs);
        if (!isKnownEpsg(outEpsg) || outEpsg == 3857)
            return failure("InvalidParameterValue", "srsName", "GetFeature: unsupported SRSNAME '" + srs + "'.", wfs11);
    }
    long long count = req.config.maxFeatures;
    for (const char* key : {"count", "maxfeatures"}) {
        if (!req.has(key)) continue;
        auto c = parseInt(req.param(key));
        if (!c || *c < 0) return failure("InvalidParameterValue", key, "GetFeature: invalid feature count.", wfs11);
        count = std::min(*c, req.config.maxFeatures);
    }
    long long start = 0;
    if (req.has("startindex") && req.profile != "nostart") {
        auto s = parseInt(req.param("startindex"));
        if (!s || *s < 0) return failure("InvalidParameterValue", "startindex", "GetFeature: invalid STARTINDEX.", wfs11);
        if (*s > 0 && req.profile == "nopaging")
            return failure("OperationNotSupported", "startindex", "GetFeature: result paging is not supported.", wfs11);
        start = *s;
    }
    std::optional<BboxQuery> bbox;
    if (std::string text = req.param("bbox"); !text.empty()) {
        bbox = parseBbox(text, outEpsg, req.profile == "xy");
        if (!bbox) return failure("InvalidParameterValue", "bbox", "GetFeature: invalid BBOX '" + text + "'.", wfs11);
    }

    std::vector<DemoFeature> made;
    const std::vector<DemoFeature>* source = nullptr;
    if (family.features) {
        made = family.features(*layer, req);
        source = &made;
    } else if (const DemoLayer* demoLayer = DemoArea::instance().layer(layer->demoLayer)) {
        source = &demoLayer->features;
    }
    std::vector<const DemoFeature*> matched;
    // A server that holds its data in a PL-2000 zone finds nothing unless asked in one.
    const bool zoneOnly = req.profile == "pl2000" && (outEpsg < 2176 || outEpsg > 2179);
    if (source && !zoneOnly) {
        for (const auto& f : *source)
            if (!bbox || (bbox->valid && featureIntersects(f, bbox->pl1992))) matched.push_back(&f);
    }
    const bool hits = iequals(req.param("resulttype"), "hits");
    CollectionPage page;
    page.numberMatched = static_cast<long long>(matched.size());
    page.hitsOnly = hits;
    std::vector<const DemoFeature*> returned;
    if (!hits) {
        const auto first = std::min<long long>(start, page.numberMatched);
        const auto last = std::min<long long>(first + count, page.numberMatched);
        returned.assign(matched.begin() + first, matched.begin() + last);
        if (last < page.numberMatched) page.nextUrl = req.urlWith("STARTINDEX", formatInt(last));
        page.matchedUnknown = req.config.matchedUnknown || returned.empty();
    }
    CollectionStyle style;
    style.wfs11 = wfs11;
    style.epsg = outEpsg;
    style.northingFirst = req.profile != "xy" && northingFirstByDefinition(outEpsg);
    style.srsOnGeometry = req.profile != "xy";
    style.prefix = family.prefix;
    style.namespaceUri = family.namespaceUri;
    if (req.profile == "freshids") style.freshIdAnswer = ++answersWithFreshIds;
    return {200, wfs11 ? kGml31Type : kGml32Type, writeFeatureCollection(*layer, returned, style, page)};
}

}  // namespace

Reply handleWfs(const ServiceFamily& family, const ServiceRequest& req) {
    const bool wfs11 = wantsWfs11(req);
    if (family.wfsLayers.empty())
        return failure("InvalidParameterValue", "service", "This endpoint does not offer WFS.", wfs11);
    if (!wfs11 && req.profile == "wfs11")
        return failure("VersionNegotiationFailed", "version", "Only WFS 1.1.0 is supported by this service.", false);
    const std::string op = req.param("request");
    if (iequals(op, "GetCapabilities")) return {200, "text/xml; charset=UTF-8", capabilities(family, req, wfs11)};
    if (iequals(op, "GetFeature")) return getFeature(family, req, wfs11);
    if (op.empty()) return failure("MissingParameterValue", "request", "Missing REQUEST parameter.", wfs11);
    return failure("OperationNotSupported", "request", "Operation '" + op + "' is not supported.", wfs11);
}

}  // namespace kl::geoportal
