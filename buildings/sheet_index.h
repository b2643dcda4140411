#pragma once
// The sheet index kept beside a package in the cache ("<package>.idx"): the
// extent of every sheet, so that later fetches of the county decompress only
// the sheets that meet their frame.
//
//   B3DIDX1\t<package size>\t<package time>
//   <entry name>\t<minX>\t<minY>\t<maxX>\t<maxY>     (one line per sheet)
//
// The first line records which download of the package the index describes:
// an index whose package was downloaded again, or one written without that
// record, is not trusted. Entry names are escaped (\\ \t \n \r) so that no
// name can break its line.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kl::buildings {

struct SheetEntry {
  std::string name;  // entry name inside the zip
  double minX = 0, minY = 0, maxX = 0, maxY = 0;
  friend bool operator==(const SheetEntry&, const SheetEntry&) = default;
};

struct PackageStamp {
  std::uintmax_t size = 0;
  std::int64_t time = 0;  // last write time, file-clock ticks
  friend bool operator==(const PackageStamp&, const PackageStamp&) = default;
};

// Nothing when the file is missing.
std::optional<PackageStamp> stampOf(const std::string& path);

// The sheets of an index written for this stamp; empty when the index is
// missing, describes another download or holds no valid sheet line. Malformed
// sheet lines are skipped.
std::vector<SheetEntry> readSheetIndex(const std::string& indexPath, const PackageStamp& stamp);

// Written under a temporary name and renamed; false (and no file left) on
// any failure.
bool writeSheetIndex(const std::string& indexPath, const PackageStamp& stamp, const std::vector<SheetEntry>& sheets);

}  // namespace kl::buildings
