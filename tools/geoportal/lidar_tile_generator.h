#pragma once
// LAZ tiles of the demo sheets, made with the add-on's own LAS writer from a
// real airborne sample: its part without gaps is repeated over the sheet on an absolute
// grid (so neighbouring sheets join without seams), densified by slightly
// shifted copies, thinned evenly to the exact point count, and set on the demo
// terrain with its heights above ground kept. Tiles are deterministic and kept
// in a cache folder keyed by every parameter, so runs after the first do not
// generate again.

#include "tools/geoportal/lidar_sheets.h"

#include <string>

namespace kl::geoportal {

struct LidarTileFile {
    bool ok = false;
    std::string message;  // Polish, when not ok
    std::string path;     // the cached LAZ file
};

// Height above the demo ground of the highest point the tiles' sample puts
// in the metre cell holding p (0 on bare ground); the surface model sheets
// are the ground plus this.
double demoObjectHeight(Xy p);

// The folder used when the server's settings name none.
std::string defaultLidarCacheDir();

// The tile's file, generated now unless the cache holds it. Thread-safe; other
// processes sharing the folder are safe too (each writes its own temporary name).
LidarTileFile lidarTileFile(const LidarParams& params, const LidarSheet& sheet, const std::string& cacheDir);

}  // namespace kl::geoportal
