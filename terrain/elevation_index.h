#pragma once
// The yearly national sheet indexes of the elevation models: which sheets of
// the terrain model (ground) or the surface model (ground with buildings and
// trees) cover a frame, and where each is downloaded.
#include <string>
#include <string_view>
#include <vector>

#include "geodata/geometry.h"
#include "net/wfs_client.h"

namespace kl::terrain {

enum class ElevationModel { Terrain, Surface };

struct ElevationSheetRecord {
  std::string godlo;  // sheet code, may be empty
  std::string url;    // always http(s)
};

struct ElevationIndexQuery {
  std::vector<ElevationSheetRecord> sheets;  // of the newest year that has any
  // Set when no sheet came and some year's index failed (an error status, a
  // cut answer, an exception report other than "no such layer"): "no
  // sheets" would then be a guess.
  std::string failure;
};

inline constexpr int kElevationOldestYear = 2018;

// "NMT" or "NMPT", as users know the models.
std::string_view elevationModelName(ElevationModel model);
std::string elevationIndexTypeName(ElevationModel model, int year);
std::string_view elevationIndexPath(ElevationModel model);

// Records of one index answer in answer order; each field is looked for
// inside its own record, and records without an http(s) address are skipped.
std::vector<ElevationSheetRecord> parseElevationIndex(std::string_view answer);

// Newest year first, from the year after currentYear down to 2018.
ElevationIndexQuery queryElevationIndex(net::WfsClient& client, ElevationModel model, const geo::Bbox& frame,
                                        int currentYear);

}  // namespace kl::terrain
