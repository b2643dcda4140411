#pragma once
// One county model package in the cache: its sheets and their extents, from
// the index beside it or from a scan of the archive, and the sheets' text.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "buildings/sheet_index.h"
#include "buildings/zip_reader.h"
#include "geodata/geometry.h"

namespace kl::buildings {

// A sheet's extent is normally among its first bytes; only a sheet without
// one there is read whole.
inline constexpr std::size_t kSheetPrefixBytes = 8192;

struct ModelPackage {
  std::string path;
  std::vector<SheetEntry> sheets;
  std::shared_ptr<const ZipReader> zip;
};

struct SheetScan {
  bool ok = false;
  std::string error;                  // why no sheet list could be had (Polish)
  std::vector<std::string> warnings;  // entries refused, index not written (Polish)
  std::vector<std::uint64_t> bytesInflated;  // per entry examined, in archive order
  bool fromIndex = false;
};

// Nothing, and the reason, when the file is not a readable zip archive.
std::unique_ptr<ModelPackage> openPackage(const std::string& path, std::string& error);

// Rebuilds the sheet list from the archive.
SheetScan scanPackage(ModelPackage& package, const ReadLimits& limits = {});

// The sheet list from the index when it describes this download of the
// package, else from a scan that then writes the index.
SheetScan loadSheets(ModelPackage& package, const ReadLimits& limits = {});

// "<package>.idx"
std::string indexPathOf(const std::string& packagePath);

// Names of the sheets whose extent meets the frame (closed intervals), in package order.
std::vector<std::string> sheetsInFrame(const ModelPackage& package, const geo::Bbox& frame);

// The whole text of one sheet within the limits; the refusal says why not.
EntryBytes readSheet(const ModelPackage& package, const std::string& name, const ReadLimits& limits = {});

}  // namespace kl::buildings
