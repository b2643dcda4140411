#pragma once
// The LiDAR sheet grid over the demo site: which sheets the national index
// lists, their names and download paths, and the ground they are measured on.
// The index and the tile downloads both derive everything from these few
// parameters, so a tile address alone is enough to rebuild its tile.

#include "tools/geoportal/demo_area.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kl::geoportal {

struct LidarParams {
    double sheetMetres = demo::kLidarSheetMetres;
    double density = demo::kLidarDensity;  // points per square metre
};

enum class LidarSheetKind {
    Pl1992,          // LAS 1.2, format 3, PL-1992 coordinates
    Pl2000Zone,      // LAS 1.4, format 7, coordinates in the PL-2000 zone of demo::kLidarZoneEpsg
    EightBitColour,  // like Pl1992 but with colour values 0-255 in the 16-bit fields
};

struct LidarSheet {
    int row = 0;  // from the south, 0-based
    int col = 0;  // from the west, 0-based
    long long featureId = 0;
    std::string godlo;
    Box bounds;  // PL-1992; points lie in [min, max) of both axes
    LidarSheetKind kind = LidarSheetKind::Pl1992;

    int epsg() const { return kind == LidarSheetKind::Pl2000Zone ? demo::kLidarZoneEpsg : 2180; }
    std::string ukladXy() const;
};

// Sheets of a grid aligned to multiples of the sheet size that meet the demo
// frame, south row first, west to east.
std::vector<LidarSheet> lidarSheets(double sheetMetres);
std::optional<LidarSheet> findLidarSheet(double sheetMetres, long long featureId);

// Exact number of points in a generated tile.
uint64_t lidarTilePointCount(const LidarParams& params);

// Bump when the generated points change. Tile paths carry it, so a client
// cache keyed by URL (the add-on's own) never serves a tile of an older
// generator, and neither does the server's file cache.
inline constexpr int kLidarGeneratorVersion = 10;

// "/NumDaneWys/DanePomiaroweLAZ/v10/250_12/1400001_<godlo>.laz": the first
// folder names the generator version, the second the parameters.
std::string lidarTilePath(const LidarParams& params, const LidarSheet& sheet);
// Parameters and feature id from a tile path; nothing when the path is not
// one or names another generator version.
struct LidarTileAddress {
    LidarParams params;
    long long featureId = 0;
    std::string fileName;
};
std::optional<LidarTileAddress> parseLidarTilePath(std::string_view path);

bool validLidarSheetMetres(double metres);
bool validLidarDensity(double density);

// Ground height (EVRF2007, metres) of the demo terrain at a PL-1992 point.
double demoGroundHeight(Xy pl1992);

}  // namespace kl::geoportal
