#include "buildings/model_package.h"

#include <optional>

#include "buildings/citygml_rings.h"
#include "buildings/sheet_extent.h"

namespace kl::buildings {
namespace {

const char* const kNoSheets = "Paczka modeli 3D nie zawiera czytelnych arkuszy.";

std::string refused(const std::string& name, const std::string& why) {
  return "Arkusz " + name + " pominiety: " + why + ".";
}

}  // namespace

std::unique_ptr<ModelPackage> openPackage(const std::string& path, std::string& error) {
  std::shared_ptr<const ZipReader> zip = ZipReader::open(path);
  if (!zip) {
    error = "Nie mozna otworzyc paczki modeli 3D: " + path;
    return nullptr;
  }
  return std::make_unique<ModelPackage>(ModelPackage{path, {}, std::move(zip)});
}

SheetScan scanPackage(ModelPackage& package, const ReadLimits& limits) {
  SheetScan scan;
  package.sheets.clear();
  const ZipReader& zip = *package.zip;
  for (std::int64_t i = 0, n = zip.entryCount(); i < n; ++i) {
    const std::optional<ZipEntry> entry = zip.entry(i);
    if (!entry || entry->directory) continue;
    const EntryBytes head = zip.readPrefix(i, kSheetPrefixBytes);
    if (!head.bytes) {
      scan.warnings.push_back(refused(entry->name, head.refusal));
      scan.bytesInflated.push_back(0);
      continue;
    }
    const std::string& prefix = *head.bytes;
    std::uint64_t inflated = prefix.size();
    std::optional<geo::Bbox> extent = sheetExtent(prefix);
    if (!extent && prefix.size() == kSheetPrefixBytes) {
      const EntryBytes whole = zip.readWhole(i, limits);
      if (!whole.bytes) scan.warnings.push_back(refused(entry->name, whole.refusal));
      else {
        inflated += whole.bytes->size();
        extent = sheetExtent(*whole.bytes);
      }
    }
    scan.bytesInflated.push_back(inflated);
    if (extent) package.sheets.push_back({entry->name, extent->minX, extent->minY, extent->maxX, extent->maxY});
  }
  scan.ok = !package.sheets.empty();
  if (!scan.ok) scan.error = kNoSheets;
  return scan;
}

std::string indexPathOf(const std::string& packagePath) { return packagePath + ".idx"; }

SheetScan loadSheets(ModelPackage& package, const ReadLimits& limits) {
  const std::optional<PackageStamp> stamp = stampOf(package.path);
  if (stamp) {
    package.sheets = readSheetIndex(indexPathOf(package.path), *stamp);
    if (!package.sheets.empty()) return {true, {}, {}, {}, true};
  }
  SheetScan scan = scanPackage(package, limits);
  // A scan that refused entries is not indexed, so that every later fetch
  // says again which sheets it cannot read instead of silently lacking them.
  if (!scan.ok || !scan.warnings.empty()) return scan;
  // Without an index the next fetch scans again; nothing is lost.
  if (!stamp || !writeSheetIndex(indexPathOf(package.path), *stamp, package.sheets))
    scan.warnings.push_back("Nie zapisano indeksu arkuszy paczki modeli 3D - kolejne pobranie przejrzy paczke ponownie.");
  return scan;
}

std::vector<std::string> sheetsInFrame(const ModelPackage& package, const geo::Bbox& frame) {
  std::vector<std::string> names;
  for (const SheetEntry& s : package.sheets)
    if (meetsFrame({s.minX, s.minY, s.maxX, s.maxY}, frame)) names.push_back(s.name);
  return names;
}

EntryBytes readSheet(const ModelPackage& package, const std::string& name, const ReadLimits& limits) {
  const std::int64_t index = package.zip->indexOf(name);
  if (index < 0) return {std::nullopt, "brak arkusza w paczce"};
  return package.zip->readWhole(index, limits);
}

}  // namespace kl::buildings
