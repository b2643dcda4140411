#include "tools/geoportal/lidar_sheets.h"

#include "tools/geoportal/lidar_ground_features.h"
#include "tools/geoportal/text_util.h"

#include <cmath>

namespace kl::geoportal {

namespace {

constexpr long long kFirstFeatureId = 1400000;
constexpr double kPi = 3.141592653589793;

std::string twoDigits(int n) { return (n < 10 ? "0" : "") + formatInt(n); }

std::string generatorFolder() { return "v" + formatInt(kLidarGeneratorVersion) + "/"; }

}  // namespace

std::string LidarSheet::ukladXy() const {
    return kind == LidarSheetKind::Pl2000Zone ? std::string(demo::kLidarZoneUkladXy) : "PL-1992";
}

bool validLidarSheetMetres(double metres) { return std::isfinite(metres) && metres >= 50 && metres <= 2000; }
bool validLidarDensity(double density) { return std::isfinite(density) && density > 0 && density <= 50; }

std::vector<LidarSheet> lidarSheets(double sheetMetres) {
    std::vector<LidarSheet> sheets;
    if (!validLidarSheetMetres(sheetMetres)) return sheets;
    const long long firstCol = static_cast<long long>(std::floor(demo::kMinEasting / sheetMetres));
    const long long lastCol = static_cast<long long>(std::ceil(demo::kMaxEasting / sheetMetres)) - 1;
    const long long firstRow = static_cast<long long>(std::floor(demo::kMinNorthing / sheetMetres));
    const long long lastRow = static_cast<long long>(std::ceil(demo::kMaxNorthing / sheetMetres)) - 1;
    const int cols = static_cast<int>(lastCol - firstCol + 1);
    const int rows = static_cast<int>(lastRow - firstRow + 1);
    const int specialCol = cols > 1 ? 1 : 0;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            LidarSheet s;
            s.row = r;
            s.col = c;
            s.featureId = kFirstFeatureId + 1000LL * r + c;
            const double e = static_cast<double>(firstCol + c) * sheetMetres;
            const double n = static_cast<double>(firstRow + r) * sheetMetres;
            s.bounds = {e, n, e + sheetMetres, n + sheetMetres};
            if (r == rows - 1 && c == specialCol) {
                s.kind = LidarSheetKind::Pl2000Zone;
                s.godlo = "6.131.18.23." + formatInt(c + 1);
            } else {
                if (r == 0 && c == specialCol) s.kind = LidarSheetKind::EightBitColour;
                s.godlo = "M-33-31-C-d-" + twoDigits(r + 1) + "-" + twoDigits(c + 1);
            }
            sheets.push_back(std::move(s));
        }
    }
    return sheets;
}

std::optional<LidarSheet> findLidarSheet(double sheetMetres, long long featureId) {
    for (auto& s : lidarSheets(sheetMetres))
        if (s.featureId == featureId) return s;
    return std::nullopt;
}

uint64_t lidarTilePointCount(const LidarParams& params) {
    return static_cast<uint64_t>(std::llround(params.density * params.sheetMetres * params.sheetMetres));
}

std::string lidarTilePath(const LidarParams& params, const LidarSheet& sheet) {
    return std::string(demo::kLidarTilePathPrefix) + generatorFolder() + formatShortest(params.sheetMetres) + "_" +
           formatShortest(params.density) + "/" + formatInt(sheet.featureId) + "_" + sheet.godlo + ".laz";
}

std::optional<LidarTileAddress> parseLidarTilePath(std::string_view path) {
    if (path.substr(0, demo::kLidarTilePathPrefix.size()) != demo::kLidarTilePathPrefix) return std::nullopt;
    path.remove_prefix(demo::kLidarTilePathPrefix.size());
    if (!path.starts_with(generatorFolder())) return std::nullopt;
    path.remove_prefix(generatorFolder().size());
    const auto slash = path.find('/');
    if (slash == std::string_view::npos) return std::nullopt;
    const auto folder = path.substr(0, slash);
    const auto file = path.substr(slash + 1);
    const auto sep = folder.find('_');
    const auto idEnd = file.find('_');
    if (sep == std::string_view::npos || idEnd == std::string_view::npos) return std::nullopt;
    auto metres = parseDouble(folder.substr(0, sep));
    auto density = parseDouble(folder.substr(sep + 1));
    auto id = parseInt(file.substr(0, idEnd));
    if (!metres || !density || !id || !validLidarSheetMetres(*metres) || !validLidarDensity(*density)) return std::nullopt;
    return LidarTileAddress{{*metres, *density}, *id, std::string(file)};
}

double demoGroundHeight(Xy p) {
    // Gentle slopes of the Bobr valley: 191-200 m over the site.
    const double u = (p.x - demo::kMinEasting) / 900.0;
    const double v = (p.y - demo::kMinNorthing) / 700.0;
    return shapeDemoTerrain(
        p, 195.5 + 2.5 * std::sin(2 * kPi * u) * std::cos(2 * kPi * v) + 1.5 * std::sin(2 * kPi * (0.6 * u + 0.3 * v)));
}

}  // namespace kl::geoportal
