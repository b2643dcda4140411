#pragma once
// Tiled GetFeature: a frame is cut into 500 m tiles, each tile is paged (or
// split when a service cannot page or ignores STARTINDEX), every answer is
// parsed on its own and the answers are joined, with features repeated at
// tile edges kept once.
#include "geodata/data_type.h"
#include "geodata/geometry.h"
#include "geodata/gis_feature.h"
#include "net/wfs_client.h"

#include <functional>
#include <set>
#include <string>
#include <vector>

namespace kl::net {

inline constexpr double kTileSizeMetres = 500.0;

// Column by column (x outer, y inner); nothing when maxX <= minX.
std::vector<geo::Bbox> tilesFor(const geo::Bbox& frame, double tileSize = kTileSizeMetres);

using TileProgress = std::function<void(int done, int total)>;

struct TiledFetchOptions {
    bool northingFirst = true;
    bool wfs110 = false;
    int epsg = 2180;
    int pageSize = 1000;
    int maxPagesPerTile = 100;
    int maxSplitDepth = 3;  // a 500 m tile splits down to 62.5 m
};

struct TiledFetchResult {
    std::vector<geo::GisFeature> features;  // de-duplicated, in tile order
    int tiles = 0;
    int tilesAnswered = 0;  // tiles with at least one usable answer
    int requests = 0;       // answers read (network or cache)
    int duplicatesDropped = 0;
    std::string warning;    // Polish, empty when all went well; names features that lost a geometry
};

// "Usluga WFS <type>: " and the first few parse warnings of features that
// lost a geometry, with how many more there were; empty when there are none.
std::string geometryLossWarning(const std::string& typeName, const std::set<std::string>& parseWarnings);

TiledFetchResult getFeatureTiled(WfsClient& client, const std::string& endpoint, const std::string& typeName,
                                 const geo::Bbox& frame, geo::DataType type, const TileProgress& progress,
                                 const TiledFetchOptions& options = {});

}  // namespace kl::net
