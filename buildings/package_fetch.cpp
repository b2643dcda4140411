#include "buildings/package_fetch.h"

#include <optional>

#include "buildings/lod1_parser.h"
#include "buildings/lod2_parser.h"
#include "buildings/model_package.h"
#include "buildings/package_source.h"
#include "net/download_cache.h"
#include "net/url_text.h"

namespace kl::buildings {
namespace {

constexpr int kPackageReceiveTimeoutMs = 600000;

// One fetch: its message prefix, hooks and the warnings it gives.
class PackageFetch {
 public:
  PackageFetch(std::string label, net::WfsClient& client, const PackageFetchInput& input,
               const PackageFetchHooks& hooks)
      : label_(std::move(label)), client_(client), input_(input), hooks_(hooks) {}

  void warn(const std::string& text) const {
    if (hooks_.warn) hooks_.warn(label_ + ": " + text);
  }
  bool cancelled() const { return hooks_.cancelled && hooks_.cancelled(); }

  // The county code of the frame; nothing (and said why) when there is none.
  std::optional<std::string> county(bool digitsRequired) const {
    if (input_.teryt.empty()) {
      warn("nie udalo sie ustalic powiatu dla tego kadru.");
      return std::nullopt;
    }
    const std::string code = input_.teryt.substr(0, 4);
    if (code.size() < 4 || (digitsRequired && !isCountyCode(code))) {
      warn("nieprawidlowy kod TERYT dla tego kadru.");
      return std::nullopt;
    }
    return code;
  }

  // The cached package of the URL, downloading it when needed; empty on
  // failure, the reason in error.
  std::string download(const std::string& url, std::string& error) const {
    const net::DownloadProgress progress = [this](std::int64_t received, std::int64_t total) {
      if (hooks_.progress)
        hooks_.progress(label_ + ": pobieranie " + net::formatSize(received) +
                            (total > 0 ? " / " + net::formatSize(total) : std::string()),
                        0, 1);
      return !cancelled();
    };
    return client_.getCachedFile(url, progress, kPackageReceiveTimeoutMs, error);
  }

  // No file came: said, unless the user stopped it.
  void noPackage(const std::string& county, const std::string& lastError) const {
    if (cancelled()) return;
    warn(lastError.empty() ? "brak paczki dla powiatu " + county + "." : lastError);
  }

  // The buildings of the sheets that meet the frame; a package that cannot be
  // opened or holds no readable sheet is dropped from the cache so the next
  // fetch downloads it again.
  template <class Building, class Parse>
  std::optional<std::vector<Building>> read(const std::string& path, Parse parse) const {
    std::string error;
    std::unique_ptr<ModelPackage> package = openPackage(path, error);
    SheetScan scan;
    if (package) {
      scan = loadSheets(*package, input_.limits);
      error = scan.error;
    }
    if (!package || !scan.ok) {
      net::removeCacheFile(path);
      net::removeCacheFile(indexPathOf(path));
      warn(error + " Uszkodzona paczka zostala usunieta z cache - sprobuj ponownie.");
      return std::nullopt;
    }
    for (const std::string& w : scan.warnings) warn(w);
    std::vector<Building> out;
    int unusable = 0;
    const std::vector<std::string> names = sheetsInFrame(*package, input_.frame);
    for (std::size_t i = 0; i < names.size(); ++i) {
      if (cancelled()) return std::nullopt;
      if (hooks_.progress) hooks_.progress(label_, static_cast<int>(i), static_cast<int>(names.size()));
      const EntryBytes sheet = readSheet(*package, names[i], input_.limits);
      if (!sheet.bytes) {
        warn("Arkusz " + names[i] + " pominiety: " + sheet.refusal + ".");
        continue;
      }
      auto got = parse(*sheet.bytes, input_.frame);
      if (!got.wellFormed) warn("Arkusz " + names[i] + " pominiety: uszkodzony dokument CityGML.");
      unusable += got.unusable;
      std::move(got.buildings.begin(), got.buildings.end(), std::back_inserter(out));
    }
    if (unusable > 0)
      warn("Pominieto budynki bez czytelnej geometrii lub wysokosci: " + std::to_string(unusable) + ".");
    return out;
  }

 private:
  std::string label_;
  net::WfsClient& client_;
  const PackageFetchInput& input_;
  const PackageFetchHooks& hooks_;
};

}  // namespace

PackageFetchResult<Lod1Building> fetchBuildings3d(net::WfsClient& client, const PackageFetchInput& input,
                                                  const PackageFetchHooks& hooks) {
  const PackageFetch fetch("Modele 3D", client, input, hooks);
  const std::optional<std::string> county = fetch.county(false);
  if (!county) return {};
  std::string path, error, lastError;
  int edition = 0;
  for (int year : kLod1Editions) {
    const std::string url = lod1PackageUrl(*county, year);
    if (url.empty()) continue;
    path = fetch.download(url, error);
    if (!path.empty()) {
      edition = year;
      break;
    }
    lastError = error;
    if (fetch.cancelled()) break;
  }
  if (path.empty() || fetch.cancelled()) {
    fetch.noPackage(*county, lastError);
    return {};
  }
  std::optional<std::vector<Lod1Building>> buildings = fetch.read<Lod1Building>(path, parseLod1Buildings);
  if (!buildings) return {};
  const std::string summary = "Modele 3D: LOD1 " + std::to_string(edition) + ", powiat " + *county +
                              ", budynkow w kadrze: " + std::to_string(buildings->size());
  return {std::move(*buildings), summary};
}

PackageFetchResult<Lod2Building> fetchBuildingsLod2(net::WfsClient& client, const PackageFetchInput& input,
                                                    const PackageFetchHooks& hooks) {
  const PackageFetch fetch("Budynki LOD2", client, input, hooks);
  const std::optional<std::string> county = fetch.county(true);
  if (!county) return {};
  std::string error;
  const std::string path = fetch.download(lod2PackageUrl(*county), error);
  if (path.empty() || fetch.cancelled()) {
    fetch.noPackage(*county, error);
    return {};
  }
  std::optional<std::vector<Lod2Building>> buildings = fetch.read<Lod2Building>(path, parseLod2Buildings);
  if (!buildings) return {};
  const std::string summary =
      "Budynki LOD2: powiat " + *county + ", budynkow w kadrze: " + std::to_string(buildings->size());
  return {std::move(*buildings), summary};
}

}  // namespace kl::buildings
