#include "tools/geoportal/crs.h"

#include "geodata/polish_crs.h"
#include "tools/geoportal/text_util.h"

#include <algorithm>
#include <cmath>

namespace kl::geoportal {

namespace {
constexpr double kEarthRadius = 6378137.0;  // spherical web mercator
constexpr double kPi = 3.141592653589793;

bool isPl2000(int epsg) { return geo::isPl2000Epsg(epsg); }

Xy wgsFromMercator(Xy p) {
    const double lon = p.x / kEarthRadius * 180.0 / kPi;
    const double lat = (2.0 * std::atan(std::exp(p.y / kEarthRadius)) - kPi / 2) * 180.0 / kPi;
    return {lon, lat};
}

Xy mercatorFromWgs(Xy p) {
    const double lat = std::clamp(p.y, -85.06, 85.06) * kPi / 180.0;
    return {kEarthRadius * p.x * kPi / 180.0, kEarthRadius * std::log(std::tan(kPi / 4 + lat / 2))};
}
}  // namespace

bool isKnownEpsg(int epsg) { return epsg == 2180 || isPl2000(epsg) || epsg == 4326 || epsg == 3857; }

bool northingFirstByDefinition(int epsg) { return epsg == 2180 || isPl2000(epsg) || epsg == 4326; }

int epsgFromCrsText(std::string_view text) {
    const std::string lower = toLower(text);
    if (lower.find("crs:84") != std::string::npos || lower.find("crs84") != std::string::npos) return 4326;
    size_t pos = lower.find("epsg");
    if (pos == std::string::npos) {
        auto bare = parseInt(lower);
        return bare && *bare > 0 && *bare < 100000 ? static_cast<int>(*bare) : 0;
    }
    int code = 0;
    for (size_t i = pos + 4; i < lower.size();) {
        if (lower[i] >= '0' && lower[i] <= '9') {
            size_t j = i;
            while (j < lower.size() && lower[j] >= '0' && lower[j] <= '9') ++j;
            auto v = parseInt(std::string_view(lower).substr(i, j - i));
            if (v && *v > 0 && *v < 100000) code = static_cast<int>(*v);
            i = j;
        } else {
            ++i;
        }
    }
    return code;
}

bool isUrnStyleCrs(std::string_view text) {
    const std::string lower = toLower(text);
    return lower.rfind("urn:", 0) == 0 || lower.find("/def/crs/") != std::string::npos;
}

Xy toPl1992(int epsg, Xy p) {
    if (epsg == 4326) {
        auto q = geo::wgs84ToPl1992(p.y, p.x);
        return {q.x, q.y};
    }
    if (epsg == 3857) return toPl1992(4326, wgsFromMercator(p));
    if (isPl2000(epsg)) {
        auto q = geo::pl2000ToPl1992(p.x, p.y, epsg);
        return {q.x, q.y};
    }
    return p;
}

Xy fromPl1992(int epsg, Xy p) {
    if (epsg == 4326) {
        auto q = geo::pl1992ToWgs84(p.x, p.y);
        return {q.lon, q.lat};
    }
    if (epsg == 3857) return mercatorFromWgs(fromPl1992(4326, p));
    if (isPl2000(epsg)) {
        auto q = geo::pl1992ToPl2000(p.x, p.y, epsg);
        return {q.x, q.y};
    }
    return p;
}

Box boxToPl1992(int epsg, const Box& box) {
    if (epsg == 2180 || epsg == 0) return box;
    Box out = Box::empty();
    for (Xy corner : {Xy{box.minX, box.minY}, Xy{box.maxX, box.minY}, Xy{box.minX, box.maxY}, Xy{box.maxX, box.maxY}})
        out.include(toPl1992(epsg, corner));
    return out;
}

}  // namespace kl::geoportal
