#pragma once
// The elevation model sheets over the demo site as the national download
// serves them: ESRI ASCII grids at 1 m in PL-1992, two overlapping sheets
// per model, one with a corner header and one with a centre header, CRLF
// header lines and runs of -9999 along edges.

#include "tools/geoportal/demo_area.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kl::geoportal {

enum class ElevationModelKind { Terrain, Surface };

struct ElevationSheet {
    long long featureId = 0;
    std::string godlo;
    Box bounds;                 // outer edges of the cells, PL-1992
    bool centreHeader = false;  // "xllcenter"/"yllcenter" instead of the corner
    // Cells without data: the last `nodataColumns` columns of the northern
    // `nodataRows` rows (inside the other sheet, which then answers there),
    // and the first `edgeColumns` columns of every row (outside the site).
    int nodataColumns = 0;
    int nodataRows = 0;
    int edgeColumns = 0;
};

const std::vector<ElevationSheet>& elevationSheets();

// "NMT" or "NMPT".
std::string_view elevationModelCode(ElevationModelKind model);

// "/NumDaneWys/NMT/asc/<id>_<godlo>.asc".
std::string elevationSheetPath(ElevationModelKind model, const ElevationSheet& sheet);

struct ElevationSheetAddress {
    ElevationModelKind model = ElevationModelKind::Terrain;
    ElevationSheet sheet;
};
std::optional<ElevationSheetAddress> parseElevationSheetPath(std::string_view path);

// Ground (terrain model) or surface (surface model) height at the centre of
// the metre cell that holds p, as a sheet states it (two decimals).
double demoElevation(ElevationModelKind model, Xy p);

// The whole sheet file.
std::string elevationSheetText(ElevationModelKind model, const ElevationSheet& sheet);

}  // namespace kl::geoportal
