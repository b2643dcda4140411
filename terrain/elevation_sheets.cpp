#include "terrain/elevation_sheets.h"

#include "terrain/ascii_grid_reader.h"
#include "terrain/ascii_grid_sampler.h"

namespace kl::terrain {

std::string sheetName(const ElevationSheetRecord& record) {
  if (!record.godlo.empty()) return record.godlo;
  const std::string path = record.url.substr(0, record.url.find_first_of("?#"));
  return path.substr(path.find_last_of('/') + 1);
}

SheetLoad loadSheets(net::WfsClient& client, const std::vector<ElevationSheetRecord>& records,
                     const SheetLoadHooks& hooks) {
  SheetLoad load;
  const int total = static_cast<int>(records.size());
  const auto stopAsked = [&] { return hooks.cancelled && hooks.cancelled(); };
  for (int i = 0; i < total; ++i) {
    if (hooks.progress) hooks.progress(i, total);
    if (stopAsked()) {
      load.cancelled = true;
      return load;
    }
    const ElevationSheetRecord& record = records[static_cast<std::size_t>(i)];
    const std::string name = sheetName(record);
    std::string error;
    const std::string path = client.getCachedFile(
        record.url, [&](std::int64_t, std::int64_t) { return !stopAsked(); }, kSheetDownloadTimeoutMs, error);
    if (stopAsked()) {
      load.cancelled = true;
      return load;
    }
    if (path.empty()) {
      load.warnings.push_back("Arkusz " + name + " nie zostal pobrany (" + error + ") - pominiety.");
      continue;
    }
    AsciiGridReadResult read = readAsciiGrid(path, name);
    // A sheet that is not whole is fetched again next time instead of
    // being served from the cache as it is.
    if (!read.ok || !read.warnings.empty()) client.evictCachedFile(record.url);
    if (!read.ok) {
      load.warnings.push_back(read.message + " Pominiety.");
      continue;
    }
    load.warnings.insert(load.warnings.end(), read.warnings.begin(), read.warnings.end());
    load.sheets.push_back(std::move(read.grid));
  }
  if (hooks.progress) hooks.progress(total, total);
  return load;
}

std::optional<double> sampleSheets(const SheetSet& sheets, double x, double y) {
  for (const AsciiGrid& sheet : sheets) {
    if (const auto height = sampleAsciiGrid(sheet, x, y)) return height;
  }
  return std::nullopt;
}

}  // namespace kl::terrain
