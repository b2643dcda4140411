#include "tools/geoportal/gml_writer.h"

#include "tools/geoportal/crs.h"
#include "tools/geoportal/text_util.h"

namespace kl::geoportal {

namespace {

constexpr const char* kTimeStamp = "2025-06-02T10:00:00";
constexpr std::string_view kTimePositionMark = "\x01time:";

std::string srsText(int epsg) { return "urn:ogc:def:crs:EPSG::" + formatInt(epsg); }

// The urn form promises the system's own axis order; pairs written the other
// way round are named in the short form, which readers take as x/y.
std::string srsTextFor(const CollectionStyle& style) {
    return style.northingFirst == northingFirstByDefinition(style.epsg) ? srsText(style.epsg)
                                                                         : "EPSG:" + formatInt(style.epsg);
}

std::string hexText(unsigned long long v) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    do {
        out.insert(out.begin(), kDigits[v % 16]);
        v /= 16;
    } while (v > 0);
    return out;
}

std::string featureIdFor(const WfsLayer& layer, const DemoFeature& f, const std::string& type, int index,
                         const CollectionStyle& style) {
    if (style.freshIdAnswer != 0)
        return type + ".fid--" + hexText(style.freshIdAnswer) + "-" + hexText(static_cast<unsigned long long>(index));
    return layer.featureIds ? f.id : std::string();
}

std::string localName(const std::string& typeName) {
    auto colon = typeName.find(':');
    return colon == std::string::npos ? typeName : typeName.substr(colon + 1);
}

std::string posList(const std::vector<Xy>& points, const CollectionStyle& style) {
    std::string out;
    for (const auto& p : points) {
        if (!out.empty()) out += ' ';
        out += formatPair(p, style);
    }
    return out;
}

std::string formatSystemPair(Xy p, const CollectionStyle& style) {
    const int decimals = style.epsg == 4326 ? 9 : 6;
    const double first = style.northingFirst ? p.y : p.x;
    const double second = style.northingFirst ? p.x : p.y;
    return formatFixed(first, decimals) + " " + formatFixed(second, decimals);
}

void writeEnvelope(std::string& out, const Box& b, const CollectionStyle& style, const std::string& indent) {
    Box sys = Box::empty();
    for (Xy c : {Xy{b.minX, b.minY}, Xy{b.maxX, b.minY}, Xy{b.minX, b.maxY}, Xy{b.maxX, b.maxY}})
        sys.include(fromPl1992(style.epsg, c));
    out += indent + "<gml:Envelope srsName=\"" + srsTextFor(style) + "\">\n";
    out += indent + "  <gml:lowerCorner>" + formatSystemPair({sys.minX, sys.minY}, style) + "</gml:lowerCorner>\n";
    out += indent + "  <gml:upperCorner>" + formatSystemPair({sys.maxX, sys.maxY}, style) + "</gml:upperCorner>\n";
    out += indent + "</gml:Envelope>\n";
}

void writeGeometry(std::string& out, const DemoFeature& f, const std::string& geomId, const CollectionStyle& style) {
    std::string attrs;
    if (!style.wfs11) attrs += " gml:id=\"" + xmlEscape(geomId) + "\"";
    if (style.srsOnGeometry) attrs += " srsName=\"" + srsTextFor(style) + "\"";
    const std::string dim = " srsDimension=\"2\"";
    if (f.kind == GeometryKind::Line) {
        out += "          <gml:LineString" + attrs + ">\n            <gml:posList" + dim + ">" + posList(f.path, style) +
               "</gml:posList>\n          </gml:LineString>\n";
        return;
    }
    out += "          <gml:Polygon" + attrs + ">\n";
    for (size_t i = 0; i < f.rings.size(); ++i) {
        const char* role = i == 0 ? "exterior" : "interior";
        out += std::string("            <gml:") + role + ">\n              <gml:LinearRing>\n                <gml:posList" +
               dim + ">" + posList(f.rings[i], style) + "</gml:posList>\n              </gml:LinearRing>\n            </gml:" +
               role + ">\n";
    }
    out += "          </gml:Polygon>\n";
}

}  // namespace

std::string formatPair(Xy pl1992, const CollectionStyle& style) {
    return formatSystemPair(fromPl1992(style.epsg, pl1992), style);
}

std::string writeFeatureCollection(const WfsLayer& layer, const std::vector<const DemoFeature*>& features,
                                   const CollectionStyle& style, const CollectionPage& page) {
    const std::string type = localName(layer.typeName);
    const std::string p = style.prefix;
    const std::string wfsNs = style.wfs11 ? "http://www.opengis.net/wfs" : "http://www.opengis.net/wfs/2.0";
    const std::string gmlNs = style.wfs11 ? "http://www.opengis.net/gml" : "http://www.opengis.net/gml/3.2";
    std::string out = "<?xml version='1.0' encoding=\"UTF-8\" ?>\n<wfs:FeatureCollection\n";
    out += "   xmlns:" + p + "=\"" + style.namespaceUri + "\"\n";
    out += "   xmlns:gml=\"" + gmlNs + "\"\n   xmlns:wfs=\"" + wfsNs + "\"\n";
    out += "   xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"\n";
    out += std::string("   timeStamp=\"") + kTimeStamp + "\"";
    const std::string matched = page.matchedUnknown ? "unknown" : formatInt(page.numberMatched);
    const std::string returned = formatInt(page.hitsOnly ? 0 : static_cast<long long>(features.size()));
    if (style.wfs11)
        out += page.hitsOnly ? " numberOfFeatures=\"" + matched + "\"" : "";
    else
        out += " numberMatched=\"" + matched + "\" numberReturned=\"" + returned + "\"";
    if (!page.nextUrl.empty()) out += "\n   next=\"" + xmlEscape(page.nextUrl) + "\"";
    out += ">\n";
    if (page.hitsOnly || features.empty()) return out + "</wfs:FeatureCollection>\n";

    Box all = Box::empty();
    for (const auto* f : features) {
        all.include({f->bounds.minX, f->bounds.minY});
        all.include({f->bounds.maxX, f->bounds.maxY});
    }
    out += style.wfs11 ? "      <gml:boundedBy>\n" : "      <wfs:boundedBy>\n";
    writeEnvelope(out, all, style, "        ");
    out += style.wfs11 ? "      </gml:boundedBy>\n" : "      </wfs:boundedBy>\n";
    if (!layer.featureIds && style.freshIdAnswer == 0)
        out += "<!-- WARNING: No featureid defined for typename '" + type + "'. Output will not validate. -->\n";

    int index = 0;
    for (const auto* f : features) {
        ++index;
        out += style.wfs11 ? "    <gml:featureMember>\n" : "    <wfs:member>\n";
        out += "      <" + p + ":" + type;
        const std::string featureId = featureIdFor(layer, *f, type, index, style);
        if (!featureId.empty()) out += " gml:id=\"" + xmlEscape(featureId) + "\"";
        out += ">\n        <gml:boundedBy>\n";
        writeEnvelope(out, f->bounds, style, "          ");
        out += "        </gml:boundedBy>\n        <" + p + ":msGeometry>\n";
        writeGeometry(out, *f, (f->id.empty() ? type + "." + formatInt(index) : f->id) + ".1", style);
        out += "        </" + p + ":msGeometry>\n";
        for (const auto& [key, value] : f->properties) {
            if (value.rfind(kTimePositionMark, 0) == 0) {
                const std::string id = (f->id.empty() ? type + "." + formatInt(index) : f->id) + "." + key;
                out += "        <" + p + ":" + key + " gml:id=\"" + xmlEscape(id) + "\"><gml:timePosition>" +
                       xmlEscape(value.substr(kTimePositionMark.size())) + "</gml:timePosition></" + p + ":" + key + ">\n";
                continue;
            }
            out += "        <" + p + ":" + key + ">" + xmlEscape(value) + "</" + p + ":" + key + ">\n";
        }
        out += "      </" + p + ":" + type + ">\n";
        out += style.wfs11 ? "    </gml:featureMember>\n" : "    </wfs:member>\n";
    }
    return out + "</wfs:FeatureCollection>\n";
}

std::string timePositionValue(std::string_view isoDate) { return std::string(kTimePositionMark) + std::string(isoDate); }

std::string exceptionReport(std::string_view code, std::string_view locator, std::string_view text, bool wfs11) {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    out += "<ows:ExceptionReport xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" ";
    out += wfs11 ? "xmlns:ows=\"http://www.opengis.net/ows\" version=\"1.1.0\"" : "xmlns:ows=\"http://www.opengis.net/ows/1.1\" version=\"2.0.0\"";
    out += " xml:lang=\"en-US\">\n";
    out += "  <ows:Exception exceptionCode=\"" + xmlEscape(code) + "\"";
    if (!locator.empty()) out += " locator=\"" + xmlEscape(locator) + "\"";
    out += ">\n    <ows:ExceptionText>" + xmlEscape(text) + "</ows:ExceptionText>\n  </ows:Exception>\n</ows:ExceptionReport>\n";
    return out;
}

}  // namespace kl::geoportal
