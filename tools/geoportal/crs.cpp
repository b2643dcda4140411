#include "tools/geoportal/crs.h"

#include <proj.h>

#include <cmath>
#include <map>
#include <mutex>
#include <string>
#include <utility>

#include "tools/geoportal/text_util.h"

namespace kl::geoportal {

namespace {

bool isPl2000(int epsg) { return epsg >= 2176 && epsg <= 2179; }

// The fixture converts with PROJ, not with the add-on's own transforms, so a
// fault in those cannot hide on both sides of a test. PROJ objects are not
// thread-safe and the server answers on several threads: one lock guards them.
class ProjTransforms {
public:
    ProjTransforms() : context_(proj_context_create()) {}
    ~ProjTransforms() {
        for (auto& [pair, transform] : transforms_) proj_destroy(transform);
        proj_context_destroy(context_);
    }
    ProjTransforms(const ProjTransforms&) = delete;
    ProjTransforms& operator=(const ProjTransforms&) = delete;

    // (easting, northing) or (longitude, latitude) in and out; NaN when PROJ
    // cannot build the transform, which every comparison then shows.
    Xy convert(int from, int to, Xy p) {
        std::lock_guard<std::mutex> lock(mutex_);
        PJ* transform = transformFor(from, to);
        if (!transform) return {std::nan(""), std::nan("")};
        const PJ_COORD out = proj_trans(transform, PJ_FWD, proj_coord(p.x, p.y, 0, 0));
        return {out.xy.x, out.xy.y};
    }

private:
    PJ* transformFor(int from, int to) {
        const auto key = std::make_pair(from, to);
        if (const auto it = transforms_.find(key); it != transforms_.end()) return it->second;
        PJ* raw = proj_create_crs_to_crs(context_, ("EPSG:" + std::to_string(from)).c_str(),
                                         ("EPSG:" + std::to_string(to)).c_str(), nullptr);
        PJ* transform = raw ? proj_normalize_for_visualization(context_, raw) : nullptr;
        proj_destroy(raw);
        transforms_.emplace(key, transform);
        return transform;
    }

    std::mutex mutex_;
    PJ_CONTEXT* context_;
    std::map<std::pair<int, int>, PJ*> transforms_;
};

Xy convert(int from, int to, Xy p) {
    static ProjTransforms transforms;
    return transforms.convert(from, to, p);
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

Xy toPl1992(int epsg, Xy p) { return epsg == 4326 || epsg == 3857 || isPl2000(epsg) ? convert(epsg, 2180, p) : p; }

Xy fromPl1992(int epsg, Xy p) { return epsg == 4326 || epsg == 3857 || isPl2000(epsg) ? convert(2180, epsg, p) : p; }

Box boxToPl1992(int epsg, const Box& box) {
    if (epsg == 2180 || epsg == 0) return box;
    Box out = Box::empty();
    for (Xy corner : {Xy{box.minX, box.minY}, Xy{box.maxX, box.minY}, Xy{box.minX, box.maxY}, Xy{box.maxX, box.maxY}})
        out.include(toPl1992(epsg, corner));
    return out;
}

}  // namespace kl::geoportal
