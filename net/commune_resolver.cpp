#include "net/commune_resolver.h"

#include "geodata/gml_parser.h"
#include "net/capabilities.h"
#include "geodata/polygon.h"
#include "net/service_hosts.h"
#include "net/url_text.h"
#include "net/wfs_requests.h"

#include <algorithm>
#include <cctype>

namespace kl::net {
namespace {

bool isCommuneCode(const std::string& v) {
    return (v.size() == 6 || v.size() == 7) &&
           std::all_of(v.begin(), v.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string communeCodeOf(const geo::GisFeature& f) {
    for (const auto& [key, value] : f.attributes) {
        const std::string k = lowerAscii(key);
        if ((k.find("teryt") != std::string::npos || k.find("kod") != std::string::npos) && isCommuneCode(value))
            return value;
    }
    return {};
}

}  // namespace

CommuneAtPoint communeFromBoundaryAnswer(const std::vector<geo::GisFeature>& features, geo::Point2d point) {
    CommuneAtPoint out;
    const geo::GisFeature* chosen = nullptr;
    for (const auto& f : features) {
        const std::string code = communeCodeOf(f);
        if (code.empty()) continue;
        if (!chosen) {
            chosen = &f;
            out.teryt = code;
        }
        if (geo::polygonsContain(f.polygons, point)) {
            chosen = &f;
            out.teryt = code;
            break;
        }
    }
    if (chosen) out.boundary = chosen->polygons;
    return out;
}

std::string communeLayerFromCapabilities(std::string_view capabilities) {
    std::string best;
    int bestScore = 0;
    for (const auto& name : elementNameTexts(capabilities)) {
        const std::string n = lowerAscii(name);
        int score = 0;
        if (n.size() >= 4 && n.find("gmin") != std::string::npos && n.find("obrony") == std::string::npos)
            score = n.find("granice") != std::string::npos ? 2 : 1;
        if (score > bestScore) {
            bestScore = score;
            best = name;
        }
    }
    return best;
}

CommuneResolver::CommuneResolver(std::string endpoint) : endpoint_(std::move(endpoint)) {}

CommuneAtPoint CommuneResolver::communeTerytAtPoint(WfsClient& client, geo::Point2d point) {
    if (layerName_.empty()) layerName_ = kDefaultCommuneLayer;
    GetFeatureParams p;
    p.baseUrl = endpoint_.empty() ? nationalServiceUrl(client.hosts(), kAdministrativeBoundariesWfsPath) : endpoint_;
    p.typeName = layerName_;
    p.count = 5;
    p.frame = {point.x - 1, point.y - 1, point.x + 1, point.y + 1};
    p.northingFirst = true;
    const HttpResponse r = client.get(buildGetFeatureUrl(p), ExpectedBody::Xml);
    CommuneAtPoint out;
    if (!r.ok) {
        out.status = r.status;
        out.error = failureReason(r.status, r.error);
        return out;
    }
    geo::GmlParseOptions options;
    options.keepFeaturesWithoutGeometry = true;
    const geo::GmlParseResult parsed = geo::GmlParser::parse(r.body, geo::DataType::Parcels, options);
    out = communeFromBoundaryAnswer(parsed.features, point);
    out.status = r.status;
    if (!parsed.ok()) out.error = parsed.message;
    return out;
}

std::string CommuneResolver::resolveCommuneTeryt(WfsClient& client, const geo::Bbox& frame) {
    const geo::Point2d centre{(frame.minX + frame.maxX) / 2, (frame.minY + frame.maxY) / 2};
    // The held code serves only frames whose centre is still in that commune;
    // a nearby frame across the border belongs to another county's services.
    if (held_ && geo::polygonsContain(heldBoundary_, centre)) return heldTeryt_;

    CommuneAtPoint found = communeTerytAtPoint(client, centre);
    if (found.teryt.empty() && !layerListRead_) {
        layerListRead_ = true;
        const std::string base =
            endpoint_.empty() ? nationalServiceUrl(client.hosts(), kAdministrativeBoundariesWfsPath) : endpoint_;
        const HttpResponse caps = readCapabilities(client, base, "WFS", "2.0.0");
        if (caps.ok) {
            const std::string layer = communeLayerFromCapabilities(caps.body);
            if (!layer.empty()) {
                layerName_ = layer;
                found = communeTerytAtPoint(client, centre);
            }
        }
    }
    lastError_ = found.teryt.empty() ? found.error : std::string();
    if (found.teryt.empty()) return {};
    held_ = true;
    heldTeryt_ = found.teryt;
    heldBoundary_ = std::move(found.boundary);
    return heldTeryt_;
}

}  // namespace kl::net
