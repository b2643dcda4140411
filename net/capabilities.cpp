#include "net/capabilities.h"

#include "net/url_text.h"
#include "net/wfs_requests.h"
#include "net/xml_root.h"

#include <algorithm>
#include <cctype>

namespace kl::net {
namespace {

bool contains(std::string_view hay, std::string_view needle) { return hay.find(needle) != std::string_view::npos; }

bool containsAny(std::string_view hay, std::initializer_list<std::string_view> needles) {
    return std::any_of(needles.begin(), needles.end(), [&](std::string_view n) { return contains(hay, n); });
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

std::string_view localName(std::string_view qname) {
    const auto colon = qname.find(':');
    return colon == std::string_view::npos ? qname : qname.substr(colon + 1);
}

std::vector<std::string> filterNames(const std::vector<std::string>& names,
                                     std::initializer_list<std::string_view> needles) {
    std::vector<std::string> out;
    for (const auto& n : names)
        if (containsAny(lowerAscii(n), needles)) out.push_back(n);
    return out;
}

// The service's own name ("WMS", "OGC:WMS", "MapServer WFS") and style
// names ("point", "polygon") are no layers: a map asked for with them fails
// whole.
bool namesNoLayer(std::string_view local) { return local == "Service" || local == "Style"; }

}  // namespace

std::vector<std::string> elementNameTexts(std::string_view xml) {
    std::vector<std::string> out;
    int outsideLayers = 0;  // depth inside elements whose Name is no layer's
    std::size_t pos = 0;
    while ((pos = xml.find('<', pos)) != std::string_view::npos) {
        std::string_view rest = xml.substr(pos);
        if (rest.substr(0, 4) == "<!--") {
            const auto end = xml.find("-->", pos + 4);
            if (end == std::string_view::npos) break;
            pos = end + 3;
            continue;
        }
        if (rest.substr(0, 9) == "<![CDATA[") {
            const auto end = xml.find("]]>", pos + 9);
            if (end == std::string_view::npos) break;
            pos = end + 3;
            continue;
        }
        const auto close = xml.find('>', pos);
        if (close == std::string_view::npos) break;
        if (rest.size() >= 2 && rest[1] == '/') {
            if (outsideLayers > 0 && namesNoLayer(localName(trim(xml.substr(pos + 2, close - pos - 2)))))
                --outsideLayers;
            pos = close + 1;
            continue;
        }
        if (rest.size() < 2 || rest[1] == '?' || rest[1] == '!') {
            pos = close + 1;
            continue;
        }
        std::string_view tag = xml.substr(pos + 1, close - pos - 1);
        const bool selfClosing = !tag.empty() && tag.back() == '/';
        std::size_t n = 0;
        while (n < tag.size() && !std::isspace(static_cast<unsigned char>(tag[n])) && tag[n] != '/') ++n;
        const std::string_view qname = tag.substr(0, n);
        pos = close + 1;
        if (!selfClosing && namesNoLayer(localName(qname))) ++outsideLayers;
        if (selfClosing || outsideLayers > 0 || localName(qname) != "Name") continue;
        const auto textEnd = xml.find('<', pos);
        if (textEnd == std::string_view::npos) break;
        out.push_back(decodeXmlEntities(trim(xml.substr(pos, textEnd - pos))));
        pos = textEnd;
    }
    return out;
}

std::vector<std::string> nameListFromCapabilities(std::string_view capabilities) {
    std::vector<std::string> out;
    for (auto& name : elementNameTexts(capabilities)) {
        const bool serviceName = name.size() == 3 && (name.rfind("WM", 0) == 0 || name.rfind("WF", 0) == 0);
        if (name.empty() || serviceName || name == "default") continue;
        if (std::find(out.begin(), out.end(), name) == out.end()) out.push_back(std::move(name));
    }
    return out;
}

WfsLayerNames egibLayerNamesFromCapabilities(std::string_view capabilities) {
    WfsLayerNames names;
    bool parcelsSecondary = false;
    bool buildingsSecondary = false;
    for (const auto& name : elementNameTexts(capabilities)) {
        if (name.empty() || contains(name, " ") || contains(name, "/")) continue;
        const std::string low = lowerAscii(name);
        const bool parcel = containsAny(low, {"dzialk", "dzia\xC5\x82k", "parcel"});
        const bool building = !parcel && containsAny(low, {"budyn", "building"});
        if (!parcel && !building) continue;
        const bool secondary = containsAny(low, {"archiw", "hist", "opis"});
        std::string& slot = parcel ? names.parcels : names.buildings;
        bool& slotSecondary = parcel ? parcelsSecondary : buildingsSecondary;
        if (slot.empty() || (slotSecondary && !secondary)) {
            slot = name;
            slotSecondary = secondary;
        }
    }
    return names;
}

HttpResponse readCapabilities(WfsClient& client, std::string_view baseUrl, std::string_view service,
                              std::string_view version) {
    return client.get(buildCapabilitiesUrl(baseUrl, service, version), ExpectedBody::Capabilities);
}

LayerNamesResult fetchLayerNames(WfsClient& client, LayerNameCache& cache, const std::string& endpoint) {
    LayerNamesResult result;
    if (auto it = cache.find(endpoint); it != cache.end()) {
        result.names = it->second;
        result.ok = result.names.any();
        return result;
    }
    const HttpResponse r = readCapabilities(client, endpoint, "WFS");
    if (!r.ok) {
        result.error = failureReason(r.status, r.error);
        return result;
    }
    result.names = egibLayerNamesFromCapabilities(r.body);
    cache[endpoint] = result.names;
    result.ok = result.names.any();
    return result;
}

std::vector<std::string> utilityWfsLayers(const std::vector<std::string>& names) {
    return filterNames(names, {"przewod"});
}

std::vector<std::string> utilityWmsLayers(const std::vector<std::string>& names) {
    return filterNames(names, {"gesut", "siec", "przewod", "uzbroj", "urzadzen"});
}

std::vector<std::string> bdot500WmsLayers(const std::vector<std::string>& names) {
    return filterNames(names, {"bdot"});
}

std::vector<std::string> mpzpWmsLayers(const std::vector<std::string>& names) {
    if (auto drawings = filterNames(names, {"rysun"}); !drawings.empty()) return drawings;
    std::vector<std::string> out;
    for (const auto& n : names)
        if (!containsAny(lowerAscii(n), {"granic", "zasieg", "obrys", "zbior", "aktplanowania"})) out.push_back(n);
    return out.empty() ? names : out;
}

namespace {

// The code must not run on into further digits: ":21781" is not zone 7.
bool containsStandaloneCode(std::string_view text, const std::string& prefixedCode) {
    for (auto pos = text.find(prefixedCode); pos != std::string_view::npos;
         pos = text.find(prefixedCode, pos + 1)) {
        const auto after = pos + prefixedCode.size();
        if (after >= text.size() || !std::isdigit(static_cast<unsigned char>(text[after]))) return true;
    }
    return false;
}

}  // namespace

int wmsCrsFor(std::string_view capabilities, int workingZoneEpsg) {
    const std::string code = std::to_string(workingZoneEpsg);
    if (containsStandaloneCode(capabilities, "EPSG:" + code) || containsStandaloneCode(capabilities, ":" + code))
        return workingZoneEpsg;
    return 2180;
}

}  // namespace kl::net
