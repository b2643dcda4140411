#pragma once
// "budynkirekon": every LOD1 footprint of the frame rebuilt as a solid with a
// fitted roof from the LiDAR building points inside it.
#include <vector>

#include "buildings/lod2fit/roof_model.h"
#include "buildings/lod_building.h"
#include "import/elevation_stages.h"
#include "import/frame_cloud.h"

namespace kl::import {

inline constexpr const char* kReconstructionTilesLabel = "Rekonstrukcja LOD2: pobieranie kafli LiDAR";
inline constexpr const char* kReconstructionFitLabel = "Rekonstrukcja LOD2: dopasowanie";

// The cloud classes the reconstruction reads: ground (the height the walls
// stand on) and buildings. Vegetation over a roof and noise (7, 18: birds,
// multipath) never make a roof.
bool reconstructionClass(std::uint8_t cls);

// Pure: the footprints fitted to the points, `threads` at a time, results in
// footprint order. cancelled is asked between batches; a cancelled run
// returns what it had with `cancelled` set.
struct ReconstructionRun {
    buildings::lod2fit::Lod2Reconstruction result;
    bool cancelled = false;
};
ReconstructionRun reconstructFootprints(const std::vector<buildings::Lod1Building>& footprints,
                                        const std::vector<FrameCloudPoint>& points, unsigned threads,
                                        const StageIo& io);

// The stage: the frame's cloud, then the fits; its problems and a summary go
// to io.warn. cancelled in the result when stopped.
ReconstructionRun reconstructBuildings(net::WfsClient& client, const geo::Bbox& frame, int workingZone,
                                       const std::vector<buildings::Lod1Building>& footprints, const StageIo& io);

}  // namespace kl::import
