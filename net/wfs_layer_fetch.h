#pragma once
// One county WFS layer for a frame: the request variants (axis order, CRS,
// protocol version) are tried until the answer really lies in the frame, and
// the variant that worked is remembered per service.
#include "geodata/data_type.h"
#include "geodata/geometry.h"
#include "geodata/gis_feature.h"
#include "net/capabilities.h"
#include "net/wfs_client.h"
#include "net/wfs_tiling.h"

#include <map>
#include <string>
#include <vector>

namespace kl::net {

// 1 = 2.0.0 northing first in 2180; 2 = 2.0.0 easting first in 2180;
// 4 = 2.0.0 northing first in the frame's PL-2000 zone; 3 = 1.1.0 northing first in 2180.
enum class WfsVariant { None = 0, NorthingFirst = 1, EastingFirst = 2, Wfs110 = 3, Pl2000Zone = 4 };

// The order in which variants are tried when none is remembered.
inline constexpr WfsVariant kVariantOrder[] = {WfsVariant::NorthingFirst, WfsVariant::EastingFirst,
                                               WfsVariant::Pl2000Zone, WfsVariant::Wfs110};

// What the import controller keeps between fetches.
struct WfsMemory {
    LayerNameCache layerNames;
    std::map<std::string, WfsVariant> variants;  // key: endpoint + "|" + type name
};

TiledFetchOptions optionsForVariant(WfsVariant v, const geo::Bbox& frame);

// A point inside the frame (bounds inclusive), a polygon's exterior or a
// line with a part inside it, or a polygon that covers the frame's centre.
bool featureTouchesFrame(const geo::GisFeature& f, const geo::Bbox& frame);

struct LayerFetchResult {
    std::vector<geo::GisFeature> features;
    WfsVariant variant = WfsVariant::None;  // the one that gave the features
    bool wholeLayerFallback = false;
    std::string warning;                    // Polish, empty when all went well
};

LayerFetchResult fetchWfsLayer(WfsClient& client, WfsMemory& memory, const std::string& endpoint,
                               const std::string& typeName, const geo::Bbox& frame, geo::DataType type,
                               const TileProgress& progress);

inline constexpr long long kWholeLayerLimit = 200000;
inline constexpr int kWholeLayerTimeoutMs = 240000;

}  // namespace kl::net
