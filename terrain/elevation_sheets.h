#pragma once
// The elevation sheets of one fetch: downloaded through the cache, read, and
// kept in memory in download order for every height asked during the fetch.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "net/wfs_client.h"
#include "terrain/ascii_grid.h"
#include "terrain/elevation_index.h"

namespace kl::terrain {

using SheetSet = std::vector<AsciiGrid>;

struct SheetLoadHooks {
  std::function<void(int done, int total)> progress;  // may be empty
  std::function<bool()> cancelled;                    // may be empty
};

struct SheetLoad {
  SheetSet sheets;
  // Polish, one per sheet skipped (naming it and why) or read with gaps.
  std::vector<std::string> warnings;
  bool cancelled = false;  // stopped early; the sheets are incomplete
};

inline constexpr int kSheetDownloadTimeoutMs = 240000;

// The name a sheet is known by in messages: its code, else its file name.
std::string sheetName(const ElevationSheetRecord& record);

// Downloads and reads the sheets one by one. A sheet that does not come or
// cannot be read is skipped with a warning and dropped from the cache; the
// others are still used.
SheetLoad loadSheets(net::WfsClient& client, const std::vector<ElevationSheetRecord>& records,
                     const SheetLoadHooks& hooks);

// The height from the first sheet of the set that has one at (x, y).
std::optional<double> sampleSheets(const SheetSet& sheets, double x, double y);

}  // namespace kl::terrain
