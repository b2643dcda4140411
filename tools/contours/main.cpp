// Contour lines of an ESRI ASCII grid, like gdal_contour, with index
// contours and height labels:
//   kartolink-contours GRID.asc --interval I [--smooth] --out FILE.geojson|FILE.dxf
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <string_view>

#include "base/atomic_file.h"
#include "terrain/ascii_grid_reader.h"
#include "terrain/contour_builder.h"
#include "terrain/contour_grid.h"
#include "terrain/contour_smoothing.h"
#include "terrain/grid_nodes.h"
#include "terrain/metres_text.h"
#include "tools/contours/contour_export.h"

namespace {

constexpr int kUsageError = 2;
constexpr int kInputError = 1;
constexpr int kOutputError = 3;

// Every level gets its own list of segments before any is joined, so the
// level count decides the memory: a millimetre interval over a mountain
// sheet would take more than the machine has. The whole relief of Poland at
// a 2.5 cm interval still fits.
constexpr double kMaxLevels = 100'000;

int usage(const char* problem) {
  std::fprintf(stderr,
               "%s\nUzycie: kartolink-contours SIATKA.asc --interval I [--smooth] --out PLIK.geojson|PLIK.dxf\n",
               problem);
  return kUsageError;
}

bool endsWith(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

// A decimal comma is accepted too: users in Poland type "0,25".
double parseInterval(std::string text) {
  for (char& c : text) {
    if (c == ',') c = '.';
  }
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() ? value : 0.0;
}

// How many levels the interval cuts the grid's heights into.
double levelCount(const kl::terrain::HeightGrid& grid, double interval) {
  double low = INFINITY, high = -INFINITY;
  for (const double v : grid.values) {
    if (std::isnan(v)) continue;
    low = std::min(low, v);
    high = std::max(high, v);
  }
  if (!(low <= high)) return 0.0;
  return std::floor(high / interval) - std::ceil(low / interval) + 1.0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string gridPath, outPath, intervalText;
  double interval = 0.0;
  bool smooth = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--interval" && i + 1 < argc) {
      intervalText = argv[++i];
      interval = parseInterval(intervalText);
    } else if (arg == "--out" && i + 1 < argc) {
      outPath = argv[++i];
    } else if (arg == "--smooth") {
      smooth = true;
    } else if (gridPath.empty() && !arg.starts_with("--")) {
      gridPath = arg;
    } else {
      return usage(("Nieznany argument: " + std::string(arg)).c_str());
    }
  }
  if (gridPath.empty() || outPath.empty()) return usage("Brak pliku siatki albo pliku wynikowego.");
  if (!(interval > 0.0) || !std::isfinite(interval)) return usage("Ciecie musi byc dodatnia liczba metrow.");
  const bool dxf = endsWith(outPath, ".dxf");
  if (!dxf && !endsWith(outPath, ".geojson") && !endsWith(outPath, ".json")) {
    return usage("Plik wynikowy musi miec rozszerzenie .geojson albo .dxf.");
  }

  const auto sheet = kl::terrain::readAsciiGrid(gridPath);
  if (!sheet.ok) {
    std::fprintf(stderr, "%s\n", sheet.message.c_str());
    return kInputError;
  }
  for (const std::string& warning : sheet.warnings) std::fprintf(stderr, "%s\n", warning.c_str());

  kl::terrain::HeightGrid grid = kl::terrain::cellCentreNodes(sheet.grid);
  if (smooth) kl::terrain::bilateralSmooth(grid, 1.5, 0.2);
  if (const double levels = levelCount(grid, interval); levels > kMaxLevels) {
    std::fprintf(stderr, "Ciecie %s m tnie wysokosci siatki na %.0f poziomow, wiecej niz %.0f - wybierz wieksze ciecie.\n",
                 intervalText.c_str(), levels, kMaxLevels);
    return kUsageError;
  }
  // A user's own grid has no fetch to protect, so nothing is cut short.
  const kl::terrain::ContourLimits unlimited{std::numeric_limits<std::size_t>::max(),
                                             std::numeric_limits<std::size_t>::max()};
  auto result = kl::terrain::ContourBuilder::build(grid, interval, unlimited);
  // Nothing is cut short here, so a message means the heights could not be
  // traced at all: an empty file would pass for flat terrain.
  if (!result.message.empty()) {
    std::fprintf(stderr, "%s\n", result.message.c_str());
    return kInputError;
  }
  if (smooth) kl::terrain::smoothContours(result.contours, 2, 0.05);

  const std::string document =
      dxf ? kl::tools::contoursAsDxf(result.contours) : kl::tools::contoursAsGeoJson(result.contours);
  const auto written = kl::settings::replaceFileAtomically(outPath, document);
  if (!written.ok) {
    std::fprintf(stderr, "%s\n", written.message.c_str());
    return kOutputError;
  }
  std::fprintf(stderr, "Poziomice: %zu warstwic, ciecie %s m.\n", result.contours.size(),
               kl::terrain::formatMetres(interval).c_str());
  return 0;
}
