#include "tools/geoportal/elevation_sheets.h"

#include "tools/geoportal/lidar_sheets.h"
#include "tools/geoportal/lidar_tile_generator.h"
#include "tools/geoportal/text_util.h"

#include <cmath>

namespace kl::geoportal {

const std::vector<ElevationSheet>& elevationSheets() {
    // The site (E 260400-261040, N 382640-383080) with a margin for the
    // meridian convergence of a frame asked in WGS84; the sheets overlap in
    // E 260700-260800.
    static const std::vector<ElevationSheet> sheets = {
        {1500001, "M-33-31-C-d-4-1", {260250, 382550, 260800, 383150}, false, 40, 60, 30},
        {1500002, "M-33-31-C-d-4-2", {260700, 382550, 261150, 383150}, true, 0, 0, 0},
    };
    return sheets;
}

std::string_view elevationModelCode(ElevationModelKind model) {
    return model == ElevationModelKind::Terrain ? "NMT" : "NMPT";
}

std::string elevationSheetPath(ElevationModelKind model, const ElevationSheet& sheet) {
    return std::string(demo::kElevationSheetPathPrefix) + std::string(elevationModelCode(model)) + "/asc/" +
           formatInt(sheet.featureId) + "_" + sheet.godlo + ".asc";
}

std::optional<ElevationSheetAddress> parseElevationSheetPath(std::string_view path) {
    for (const auto model : {ElevationModelKind::Terrain, ElevationModelKind::Surface})
        for (const ElevationSheet& sheet : elevationSheets())
            if (path == elevationSheetPath(model, sheet)) return ElevationSheetAddress{model, sheet};
    return std::nullopt;
}

double demoElevation(ElevationModelKind model, Xy p) {
    const Xy centre{std::floor(p.x) + 0.5, std::floor(p.y) + 0.5};
    double z = demoGroundHeight(centre);
    if (model == ElevationModelKind::Surface) z += demoObjectHeight(centre);
    return std::round(z * 100.0) / 100.0;
}

std::string elevationSheetText(ElevationModelKind model, const ElevationSheet& sheet) {
    const Box& b = sheet.bounds;
    const auto cols = static_cast<int>(b.maxX - b.minX);
    const auto rows = static_cast<int>(b.maxY - b.minY);
    const std::string x = sheet.centreHeader ? formatFixed(b.minX + 0.5, 1) : formatShortest(b.minX);
    const std::string y = sheet.centreHeader ? formatFixed(b.minY + 0.5, 1) : formatShortest(b.minY);
    std::string text = "ncols        " + formatInt(cols) + "\r\nnrows        " + formatInt(rows) + "\r\n" +
                       (sheet.centreHeader ? "xllcenter    " : "xllcorner    ") + x + "\r\n" +
                       (sheet.centreHeader ? "yllcenter    " : "yllcorner    ") + y + "\r\ncellsize     1\r\n" +
                       "NODATA_value " + formatShortest(demo::kElevationNodata) + "\r\n";
    text.reserve(text.size() + static_cast<std::size_t>(cols) * static_cast<std::size_t>(rows) * 7);
    const std::string nodata = formatShortest(demo::kElevationNodata);
    for (int r = 0; r < rows; ++r) {  // the northern row first
        const double cy = b.maxY - r - 0.5;
        for (int c = 0; c < cols; ++c) {
            if (c > 0) text += ' ';
            const bool hole = c < sheet.edgeColumns || (r < sheet.nodataRows && c >= cols - sheet.nodataColumns);
            text += hole ? nodata : formatFixed(demoElevation(model, {b.minX + c + 0.5, cy}), 2);
        }
        text += '\n';
    }
    return text;
}

}  // namespace kl::geoportal
