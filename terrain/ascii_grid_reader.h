#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "terrain/ascii_grid.h"

namespace kl::terrain {

// Sheets above this many cells are refused whatever their size on disk: at
// 8 bytes a height they would take more memory than a workstation can spare,
// and a real national sheet has about 5 million.
inline constexpr std::int64_t kMaxAsciiGridCells = 100'000'000;

struct AsciiGridReadResult {
  bool ok = false;
  std::string message;  // Polish, names the sheet; empty when ok
  // Polish, one per thing the reader mended (a sheet that ended early): the
  // grid is usable but not what the header promised.
  std::vector<std::string> warnings;
  AsciiGrid grid;
};

// Reads an ESRI ASCII grid sheet. The header words are those GDAL accepts
// (any order, any case; "dx"/"dy" only when equal, since a cell here is
// square; "nodata_value" may be missing). Numbers are read independently of
// the locale; a decimal comma is read as a decimal point, as GDAL does.
// Streams the file, so memory stays at the heights' 8 bytes a cell. Messages
// name the sheet by `sheetName`, by the file's name when that is empty.
AsciiGridReadResult readAsciiGrid(const std::filesystem::path& path, std::string_view sheetName = {});

}  // namespace kl::terrain
