#pragma once
// The fetch stages that start from the national terrain model sheets: the
// terrain tiles of "teren" and the contour lines of "poziomice2d" and
// "poziomice3d". Both ask the heights of the same sheets, which are loaded
// once per fetch.
#include <functional>
#include <string>
#include <vector>

#include "geodata/geometry.h"
#include "terrain/contour.h"
#include "terrain/elevation_sheets.h"
#include "terrain/height_grid.h"
#include "terrain/terrain_tile.h"

namespace kl::import {

// What the stages need from the pipeline around them.
struct StageIo {
    std::function<void(const std::string& text)> warn;
    std::function<void(const std::string& label, int done, int total)> progress;  // cancellable
    std::function<bool()> cancelled;
};

// The terrain model sheets of the frame: its index and the sheets read.
struct TerrainSheets {
    terrain::ElevationIndexQuery index;
    terrain::SheetLoad load;
};

// Looks the frame up in the model's index and loads its sheets; every sheet
// that failed is warned about with the prefix. load.cancelled when stopped.
TerrainSheets loadTerrainSheets(net::WfsClient& client, const geo::Bbox& frame, int currentYear,
                                const std::string& progressLabel, const std::string& warningPrefix, const StageIo& io,
                                terrain::ElevationModel model = terrain::ElevationModel::Terrain);

// "teren": tiles of the sheets' heights every `step` metres. Warns when the
// index has no sheet, when none could be read and when no node has a height.
std::vector<terrain::TerrainTile> terrainTilesFromSheets(const TerrainSheets& sheets, const geo::Bbox& frame,
                                                         int step, const StageIo& io);

struct ContourOptions {
    double interval = 1.0;
    int terrainStep = 1;
    bool smooth = false;
};

struct ElevationContours {
    terrain::HeightGrid grid;  // the sampled (and smoothed) heights the lines come from
    std::vector<terrain::Contour> contours;
    bool cancelled = false;
};

// True when the interval may be used; otherwise warns, after the prefix, that contours are skipped.
bool contourIntervalAllowed(double interval, const std::string& warningPrefix, const StageIo& io);

// "poziomice2d"/"poziomice3d": the contour lines of the sheets' heights.
ElevationContours contoursFromSheets(const TerrainSheets& sheets, const geo::Bbox& frame,
                                     const ContourOptions& options, const StageIo& io);

}  // namespace kl::import
