#include "net/wfs_layer_fetch.h"

#include "geodata/gml_parser.h"
#include "geodata/polish_crs.h"
#include "geodata/polygon.h"
#include "net/wfs_requests.h"
#include "net/xml_root.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace kl::net {
namespace {

bool inside(const geo::Point2d& p, const geo::Bbox& b) {
    return p.x >= b.minX && p.x <= b.maxX && p.y >= b.minY && p.y <= b.maxY;
}

// Whether the segment a-b has a point in the box (bounds inclusive), by
// clipping its parameter range against each slab.
bool segmentTouches(const geo::Point2d& a, const geo::Point2d& b, const geo::Bbox& box) {
    if (!std::isfinite(a.x) || !std::isfinite(a.y) || !std::isfinite(b.x) || !std::isfinite(b.y)) return false;
    double from = 0, to = 1;
    const auto clip = [&](double start, double delta, double lo, double hi) {
        if (delta == 0) return start >= lo && start <= hi;
        double t0 = (lo - start) / delta, t1 = (hi - start) / delta;
        if (t0 > t1) std::swap(t0, t1);
        from = std::max(from, t0);
        to = std::min(to, t1);
        return from <= to;
    };
    return clip(a.x, b.x - a.x, box.minX, box.maxX) && clip(a.y, b.y - a.y, box.minY, box.maxY);
}

// A vertex inside, or an edge that crosses the frame with both ends outside:
// a straight boundary of a large zone or a long pipe often has no vertex in
// a small frame.
bool anyInside(const std::vector<geo::Point2d>& pts, const geo::Bbox& b) {
    if (pts.size() == 1) return inside(pts.front(), b);
    for (std::size_t i = 1; i < pts.size(); ++i)
        if (segmentTouches(pts[i - 1], pts[i], b)) return true;
    return false;
}

int workingZoneFor(const geo::Bbox& frame) {
    const geo::LatLon c = geo::pl1992ToWgs84((frame.minX + frame.maxX) / 2, (frame.minY + frame.maxY) / 2);
    return geo::pl2000EpsgForLongitude(c.lon);
}

void appendWarning(std::string& to, const std::string& text) {
    if (text.empty()) return;
    if (!to.empty()) to += ' ';
    to += text;
}

}  // namespace

bool featureTouchesFrame(const geo::GisFeature& f, const geo::Bbox& frame) {
    if (f.hasPoint && inside(f.point, frame)) return true;
    const geo::Point2d centre{(frame.minX + frame.maxX) / 2, (frame.minY + frame.maxY) / 2};
    for (const auto& poly : f.polygons) {
        if (anyInside(poly.exterior, frame)) return true;
        if (poly.exterior.size() >= 2 && segmentTouches(poly.exterior.back(), poly.exterior.front(), frame))
            return true;
        if (poly.exterior.size() >= 3 && geo::ringContains(poly.exterior, centre)) return true;
    }
    for (const auto& line : f.lines)
        if (anyInside(line, frame)) return true;
    return false;
}

TiledFetchOptions optionsForVariant(WfsVariant v, const geo::Bbox& frame) {
    TiledFetchOptions o;
    o.northingFirst = v != WfsVariant::EastingFirst;
    o.wfs110 = v == WfsVariant::Wfs110;
    o.epsg = v == WfsVariant::Pl2000Zone ? workingZoneFor(frame) : geo::kEpsgPl1992;
    return o;
}

LayerFetchResult fetchWfsLayer(WfsClient& client, WfsMemory& memory, const std::string& endpoint,
                               const std::string& typeName, const geo::Bbox& frame, geo::DataType type,
                               const TileProgress& progress) {
    LayerFetchResult out;
    if (typeName.empty()) return out;
    const std::string key = endpoint + "|" + typeName;

    if (auto it = memory.variants.find(key); it != memory.variants.end() && it->second != WfsVariant::None) {
        TiledFetchResult r =
            getFeatureTiled(client, endpoint, typeName, frame, type, progress, optionsForVariant(it->second, frame));
        out.features = std::move(r.features);
        out.variant = it->second;
        out.warning = r.warning;
        return out;
    }

    std::string lastWarning;
    for (WfsVariant v : kVariantOrder) {
        TiledFetchResult r =
            getFeatureTiled(client, endpoint, typeName, frame, type, progress, optionsForVariant(v, frame));
        const bool accepted = std::any_of(r.features.begin(), r.features.end(),
                                          [&](const geo::GisFeature& f) { return featureTouchesFrame(f, frame); });
        if (accepted) {
            memory.variants[key] = v;
            out.features = std::move(r.features);
            out.variant = v;
            out.warning = r.warning;
            return out;
        }
        if (!r.warning.empty()) lastWarning = r.warning;
    }

    // No variant gave features in the frame: as a last resort the whole layer,
    // when the service says it is small enough.
    const HttpResponse hits = client.get(buildWholeLayerUrl(endpoint, typeName, true));
    const long long matched = hits.ok ? collectionCounts(hits.body).numberMatched : -1;
    if (matched >= 1 && matched <= kWholeLayerLimit) {
        if (progress) progress(0, 1);
        const CachedText whole =
            client.fetchCachedText(buildWholeLayerUrl(endpoint, typeName, false), kWholeLayerTimeoutMs, ExpectedBody::Xml,
                                   true);
        geo::GmlParseResult parsed = geo::GmlParser::parse(whole.text, type);
        out.wholeLayerFallback = true;
        if (!whole.error.empty()) appendWarning(out.warning, "Usluga WFS " + typeName + ": " + whole.error);
        if (!whole.text.empty() && !parsed.ok()) {
            client.evictCachedText(buildWholeLayerUrl(endpoint, typeName, false));
            appendWarning(out.warning, "Usluga WFS " + typeName + ": " + parsed.message + ".");
        }
        appendWarning(out.warning,
                      geometryLossWarning(typeName, {parsed.warnings.begin(), parsed.warnings.end()}));
        for (auto& f : parsed.features)
            if (featureTouchesFrame(f, frame)) out.features.push_back(std::move(f));
        return out;
    }
    appendWarning(out.warning, lastWarning);
    return out;
}

}  // namespace kl::net
