#pragma once
// Map images of a frame from a WMS server: the frame is cut into at most
// 4 x 4 tiles, each asked for as one GetMap image (smaller on failure) and
// kept, still compressed, with the box it covers until it is placed.
#include "geodata/data_type.h"
#include "geodata/geometry.h"
#include "net/wfs_client.h"
#include "net/wfs_tiling.h"

#include <string>
#include <vector>

namespace kl::net {

inline constexpr int kMaxRasterTilesPerAxis = 4;
inline constexpr int kMinTilePixels = 256;
inline constexpr int kMaxTilePixels = 4096;  // what the national servers still draw per side
inline constexpr double kOrthophotoMetresPerPixel = 0.25;
inline constexpr double kStandardPixelMetres = 0.00028;  // the 0.28 mm pixel of map scales

struct RasterTile {
    geo::DataType type = geo::DataType::Rasters;
    std::string image;     // the answer's body, PNG or JPEG, unchanged
    std::string mimeType;  // "image/png" or "image/jpeg", read from the body
    geo::Bbox box;         // in the request system
    int epsg = 2180;       // the request system
};

// Ground resolution of the county map images at a scale denominator; a
// scale outside 100..10000 is taken as 1000.
double countyRasterMetresPerPixel(int scale);

struct RasterLayout {
    int nx = 1, ny = 1;
    bool cut = false;               // more tiles were needed than are asked for
    double reachedMetresPerPixel;  // coarser than asked when cut
};

RasterLayout rasterLayout(double frameWidth, double frameHeight, double metresPerPixel);

// Tiles row by row from the south, each row from the west; the last tile of
// a row and the last row end exactly on the box.
std::vector<geo::Bbox> rasterTileBoxes(const geo::Bbox& box, int nx, int ny);

struct TileImageSize {
    int width = 0, height = 0;
};

// The image sizes to ask for one tile, in order: its width at the wanted
// resolution, both sides within the server limit, halved after each failure
// while at least 512 px wide; a tile narrower than that is asked for once.
std::vector<TileImageSize> tileAttemptSizes(double tileWidth, double tileHeight, double metresPerPixel);

struct RasterSource {
    std::string endpoint;
    std::string layers;  // comma-separated
    double metresPerPixel = kOrthophotoMetresPerPixel;
    geo::DataType type = geo::DataType::Rasters;
    int epsg = 2180;  // 2176..2179 ask in that zone, anything else in PL-1992
};

struct RasterFetchResult {
    std::vector<RasterTile> tiles;  // those that came as a whole image of the asked size
    int tilesAsked = 0;
    std::string warning;     // Polish; the cut warning, else empty
    std::string reportLine;  // for the host's report window
};

// frame: PL-1992. Never throws for network or image faults: a tile that
// never comes as an image is left out. progress may stop the loop by throwing.
RasterFetchResult fetchRasterTiles(WfsClient& client, const geo::Bbox& frame, const RasterSource& source,
                                   const TileProgress& progress);

}  // namespace kl::net
