#include "tools/geoportal/wms_service.h"

#include "tools/geoportal/canvas.h"
#include "tools/geoportal/crs.h"
#include "tools/geoportal/families/layer_sets.h"
#include "tools/geoportal/geometry.h"
#include "tools/geoportal/image_codec.h"
#include "tools/geoportal/text_util.h"

#include <cmath>
#include <cstdint>

namespace kl::geoportal {

namespace {

constexpr int kMaxImageSize = 4096;
constexpr int kOfferedCrs[] = {2180, 2176, 2177, 2178, 2179, 4326, 3857};

Reply serviceException(std::string_view code, std::string_view text, bool v130) {
    std::string body = "<?xml version='1.0' encoding=\"UTF-8\"?>\n";
    body += v130 ? "<ServiceExceptionReport version=\"1.3.0\" xmlns=\"http://www.opengis.net/ogc\">\n"
                 : "<ServiceExceptionReport version=\"1.1.1\">\n";
    body += "<ServiceException code=\"" + xmlEscape(code) + "\">\n" + xmlEscape(text) + "\n</ServiceException>\n</ServiceExceptionReport>\n";
    // WMS reports its exceptions with status 200, as the real servers do.
    return {200, v130 ? "text/xml; charset=UTF-8" : "application/vnd.ogc.se_xml; charset=UTF-8", body};
}

std::string capabilities(const ServiceFamily& family, const ServiceRequest& req, bool v130) {
    const std::string href = xmlEscape(req.selfUrl + "?");
    const char* crsTag = v130 ? "CRS" : "SRS";
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    out += v130 ? "<WMS_Capabilities version=\"1.3.0\" xmlns=\"http://www.opengis.net/wms\" xmlns:xlink=\"http://www.w3.org/1999/xlink\">\n"
                : "<WMT_MS_Capabilities version=\"1.1.1\" xmlns:xlink=\"http://www.w3.org/1999/xlink\">\n";
    out += std::string("<Service>\n  <Name>") + (v130 ? "WMS" : "OGC:WMS") + "</Name>\n  <Title>" + xmlEscape(family.title) +
           "</Title>\n</Service>\n<Capability>\n  <Request>\n";
    out += "    <GetCapabilities><Format>text/xml</Format><DCPType><HTTP><Get><OnlineResource xlink:href=\"" + href +
           "\"/></Get></HTTP></DCPType></GetCapabilities>\n";
    out += "    <GetMap><Format>image/png</Format><Format>image/jpeg</Format><DCPType><HTTP><Get><OnlineResource xlink:href=\"" +
           href + "\"/></Get></HTTP></DCPType></GetMap>\n  </Request>\n";
    out += std::string("  <Exception><Format>") + (v130 ? "XML" : "application/vnd.ogc.se_xml") + "</Format></Exception>\n";
    out += "  <Layer>\n    <Title>" + xmlEscape(family.title) + "</Title>\n";
    for (int code : kOfferedCrs) out += std::string("    <") + crsTag + ">EPSG:" + formatInt(code) + "</" + crsTag + ">\n";
    const Box frame = DemoArea::instance().frame();
    const Xy sw = fromPl1992(4326, {frame.minX, frame.minY}), ne = fromPl1992(4326, {frame.maxX, frame.maxY});
    if (v130)
        out += "    <EX_GeographicBoundingBox><westBoundLongitude>" + formatFixed(sw.x, 6) + "</westBoundLongitude><eastBoundLongitude>" +
               formatFixed(ne.x, 6) + "</eastBoundLongitude><southBoundLatitude>" + formatFixed(sw.y, 6) +
               "</southBoundLatitude><northBoundLatitude>" + formatFixed(ne.y, 6) + "</northBoundLatitude></EX_GeographicBoundingBox>\n";
    else
        out += "    <LatLonBoundingBox minx=\"" + formatFixed(sw.x, 6) + "\" miny=\"" + formatFixed(sw.y, 6) + "\" maxx=\"" +
               formatFixed(ne.x, 6) + "\" maxy=\"" + formatFixed(ne.y, 6) + "\"/>\n";
    for (const auto& layer : family.wmsLayers)
        out += "    <Layer queryable=\"0\">\n      <Name>" + xmlEscape(layer.name) + "</Name>\n      <Title>" +
               xmlEscape(layer.title) + "</Title>\n    </Layer>\n";
    out += "  </Layer>\n</Capability>\n";
    out += v130 ? "</WMS_Capabilities>\n" : "</WMT_MS_Capabilities>\n";
    return out;
}

// Maps PL-1992 points into pixels of the requested box.
struct PixelMapping {
    int epsg;
    Box box;  // in the request system, x/y order
    int width, height;
    PixelXy operator()(Xy pl1992) const {
        const Xy p = fromPl1992(epsg, pl1992);
        return {(p.x - box.minX) / (box.maxX - box.minX) * width, (box.maxY - p.y) / (box.maxY - box.minY) * height};
    }
    double pixelsPerMetre() const {
        const Box pl = boxToPl1992(epsg, box);
        return width / std::max(pl.maxX - pl.minX, 1e-9);
    }
};

uint32_t hash2(long long a, long long b) {
    uint64_t h = static_cast<uint64_t>(a) * 0x9E3779B97F4A7C15ULL ^ (static_cast<uint64_t>(b) + 0x632BE59BD9B4E019ULL);
    h ^= h >> 31;
    h *= 0xBF58476D1CE4E5B9ULL;
    h ^= h >> 29;
    return static_cast<uint32_t>(h);
}

// Grass, fields and bare soil with some grain, keyed to ground coordinates so
// neighbouring tiles agree.
void paintGround(Canvas& canvas, const PixelMapping& map) {
    const Xy c00 = toPl1992(map.epsg, {map.box.minX, map.box.maxY});
    const Xy c10 = toPl1992(map.epsg, {map.box.maxX, map.box.maxY});
    const Xy c01 = toPl1992(map.epsg, {map.box.minX, map.box.minY});
    for (int y = 0; y < canvas.height(); ++y) {
        const double fy = (y + 0.5) / canvas.height();
        for (int x = 0; x < canvas.width(); ++x) {
            const double fx = (x + 0.5) / canvas.width();
            const double e = c00.x + (c10.x - c00.x) * fx + (c01.x - c00.x) * fy;
            const double n = c00.y + (c10.y - c00.y) * fx + (c01.y - c00.y) * fy;
            const uint32_t field = hash2(static_cast<long long>(std::floor(e / 37)), static_cast<long long>(std::floor(n / 29)));
            const uint32_t grain = hash2(static_cast<long long>(std::floor(e / 0.7)), static_cast<long long>(std::floor(n / 0.7)));
            const int g = static_cast<int>(grain % 23) - 11;
            Rgba base = (field % 5 == 0) ? Rgba{142, 128, 96, 255} : (field % 3 == 0) ? Rgba{96, 128, 70, 255} : Rgba{78, 112, 60, 255};
            canvas.blend(x, y, {static_cast<uint8_t>(std::clamp(base.r + g, 0, 255)), static_cast<uint8_t>(std::clamp(base.g + g, 0, 255)),
                                static_cast<uint8_t>(std::clamp(base.b + g, 0, 255)), 255});
        }
    }
}

void drawSource(Canvas& canvas, const PixelMapping& map, const Box& culling, const WmsLayer::Source& source) {
    const double strokePx =
        source.strokeMetres > 0 ? std::max(1.0, source.strokeMetres * map.pixelsPerMetre()) : source.strokePixels;
    if (source.demoLayer == layers::kStreets) {
        for (const auto& street : DemoArea::instance().streets())
            canvas.strokePath({map(street.from), map(street.to)}, strokePx, source.stroke);
        return;
    }
    std::string name = source.demoLayer;
    const bool labels = name.size() > 7 && name.compare(name.size() - 7, 7, "#labels") == 0;
    if (labels) name.resize(name.size() - 7);
    const DemoLayer* layer = DemoArea::instance().layer(name);
    if (!layer) return;
    for (const auto& f : layer->features) {
        if (!f.bounds.intersects(culling)) continue;
        if (labels) {
            const PixelXy a = map({f.bounds.minX, f.bounds.minY}), b = map({f.bounds.maxX, f.bounds.maxY});
            const double size = std::min(std::fabs(b.x - a.x), std::fabs(b.y - a.y));
            if (size >= 24) canvas.drawLabel(f.property("NUMER_DZIALKI"), {(a.x + b.x) / 2, (a.y + b.y) / 2}, size >= 60 ? 2 : 1, source.stroke);
            continue;
        }
        if (f.kind == GeometryKind::Line) {
            std::vector<PixelXy> path;
            for (const auto& p : f.path) path.push_back(map(p));
            canvas.strokePath(path, strokePx, source.stroke);
            continue;
        }
        std::vector<std::vector<PixelXy>> rings;
        for (const auto& ring : f.rings) {
            rings.emplace_back();
            for (const auto& p : ring) rings.back().push_back(map(p));
        }
        if (source.fill.a) canvas.fillRings(rings, source.fill);
        if (source.stroke.a)
            for (const auto& r : rings) canvas.strokePath(r, strokePx, source.stroke);
    }
}

Reply getMap(const ServiceFamily& family, const ServiceRequest& req, bool v130) {
    std::vector<const WmsLayer*> chosen;
    const std::string layerList = req.param("layers");
    for (auto name : split(layerList, ',')) {
        const WmsLayer* found = nullptr;
        for (const auto& l : family.wmsLayers)
            if (iequals(l.name, name)) found = &l;
        if (!found) return serviceException("LayerNotDefined", "Layer '" + std::string(name) + "' is not offered.", v130);
        chosen.push_back(found);
    }
    const std::string crsText = req.param(v130 ? "crs" : "srs");
    const int epsg = epsgFromCrsText(crsText);
    if (!isKnownEpsg(epsg)) return serviceException(v130 ? "InvalidCRS" : "InvalidSRS", "Unsupported system '" + crsText + "'.", v130);
    auto width = parseInt(req.param("width")), height = parseInt(req.param("height"));
    if (!width || !height || *width < 1 || *height < 1 || *width > kMaxImageSize || *height > kMaxImageSize)
        return serviceException("InvalidDimensionValue", "Image size out of range, WIDTH and HEIGHT must be 1 to 4096.", v130);
    const std::string bboxText = req.param("bbox");
    auto parts = split(bboxText, ',');
    double v[4];
    bool ok = parts.size() == 4;
    for (size_t i = 0; ok && i < 4; ++i) {
        auto d = parseDouble(parts[i]);
        ok = d.has_value();
        if (ok) v[i] = *d;
    }
    if (!ok) return serviceException("InvalidParameterValue", "BBOX must hold four numbers.", v130);
    Box box{v[0], v[1], v[2], v[3]};
    if (v130 && northingFirstByDefinition(epsg)) box = {v[1], v[0], v[3], v[2]};
    if (box.minX >= box.maxX || box.minY >= box.maxY) return serviceException("InvalidParameterValue", "BBOX is empty.", v130);
    const std::string format = toLower(req.param("format"));
    const bool jpeg = format.rfind("image/jpeg", 0) == 0 || format.rfind("image/jpg", 0) == 0;
    if (!jpeg && !format.empty() && format.rfind("image/png", 0) != 0)
        return serviceException("InvalidFormat", "Unsupported format '" + format + "'.", v130);
    const bool transparent = !jpeg && iequals(req.param("transparent"), "true");

    Canvas canvas(static_cast<int>(*width), static_cast<int>(*height), transparent ? Rgba{255, 255, 255, 0} : Rgba{255, 255, 255, 255});
    const PixelMapping map{epsg, box, canvas.width(), canvas.height()};
    Box culling = boxToPl1992(epsg, box);
    const double margin = 20;
    culling = {culling.minX - margin, culling.minY - margin, culling.maxX + margin, culling.maxY + margin};
    for (const WmsLayer* layer : chosen) {
        if (layer->photo) paintGround(canvas, map);
        for (const auto& source : layer->sources) drawSource(canvas, map, culling, source);
    }
    if (jpeg) return {200, "image/jpeg", encodeJpeg(canvas, 85)};
    return {200, "image/png", encodePng(canvas, transparent)};
}

}  // namespace

Reply handleWms(const ServiceFamily& family, const ServiceRequest& req) {
    const std::string version = req.param("version");
    const bool v130 = version.empty() || version.rfind("1.3", 0) == 0;
    if (family.wmsLayers.empty()) return serviceException("InvalidParameterValue", "This endpoint does not offer WMS.", v130);
    const std::string op = req.param("request");
    if (iequals(op, "GetCapabilities"))
        return {200, v130 ? "text/xml; charset=UTF-8" : "application/vnd.ogc.wms_xml; charset=UTF-8", capabilities(family, req, v130)};
    if (iequals(op, "GetMap")) return getMap(family, req, v130);
    return serviceException("OperationNotSupported", "Operation '" + op + "' is not supported.", v130);
}

}  // namespace kl::geoportal
