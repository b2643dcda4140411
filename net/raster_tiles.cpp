#include "net/raster_tiles.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "base/number_text.h"
#include "geodata/polish_crs.h"
#include "net/image_probe.h"
#include "net/wfs_requests.h"

namespace kl::net {
namespace {

// Below this a failed tile is not asked for again at half the width.
constexpr int kSmallestRetriedWidth = 512;
constexpr int kMaxAttempts = 4;

int axisTiles(double metres, double metresPerPixel) {
    return std::max(1, static_cast<int>(std::ceil(metres / metresPerPixel / kMaxTilePixels)));
}

// The scale denominator of a resolution. A resolution made from a whole
// scale must give that scale back, not the number just below it.
long long scaleOf(double metresPerPixel) {
    return static_cast<long long>(metresPerPixel / kStandardPixelMetres + 1e-9);
}

// Four characters of the resolution in fixed notation: "0.25", "0.07", "2.80".
std::string resolutionText(double metresPerPixel) {
    return numberText(metresPerPixel, std::chars_format::fixed, 6).substr(0, 4);
}

}  // namespace

double countyRasterMetresPerPixel(int scale) {
    if (scale < 100 || scale > 10000) scale = 1000;
    return scale * kStandardPixelMetres;
}

RasterLayout rasterLayout(double frameWidth, double frameHeight, double metresPerPixel) {
    RasterLayout out{axisTiles(frameWidth, metresPerPixel), axisTiles(frameHeight, metresPerPixel), false,
                     metresPerPixel};
    if (out.nx <= kMaxRasterTilesPerAxis && out.ny <= kMaxRasterTilesPerAxis) return out;
    out.nx = std::min(out.nx, kMaxRasterTilesPerAxis);
    out.ny = std::min(out.ny, kMaxRasterTilesPerAxis);
    out.cut = true;
    out.reachedMetresPerPixel = std::max(frameHeight / (out.ny * kMaxTilePixels), frameWidth / (out.nx * kMaxTilePixels));
    return out;
}

std::vector<geo::Bbox> rasterTileBoxes(const geo::Bbox& box, int nx, int ny) {
    std::vector<geo::Bbox> out;
    const double w = (box.maxX - box.minX) / nx, h = (box.maxY - box.minY) / ny;
    for (int row = 0; row < ny; ++row)
        for (int col = 0; col < nx; ++col)
            out.push_back({box.minX + col * w, box.minY + row * h, col == nx - 1 ? box.maxX : box.minX + (col + 1) * w,
                           row == ny - 1 ? box.maxY : box.minY + (row + 1) * h});
    return out;
}

std::vector<TileImageSize> tileAttemptSizes(double tileWidth, double tileHeight, double metresPerPixel) {
    const auto heightFor = [&](int width) {
        return std::max(1, static_cast<int>(tileHeight * width / tileWidth));
    };
    double wanted = std::clamp(tileWidth / metresPerPixel, double(kMinTilePixels), double(kMaxTilePixels));
    // A tall tile would otherwise be asked for taller than any server draws.
    wanted = std::min(wanted, kMaxTilePixels * tileWidth / tileHeight);
    int width = std::max(1, static_cast<int>(wanted));
    if (width < kSmallestRetriedWidth) return {{width, heightFor(width)}};
    std::vector<TileImageSize> out;
    for (int attempt = 0; attempt < kMaxAttempts && width >= kSmallestRetriedWidth; ++attempt, width /= 2)
        out.push_back({width, heightFor(width)});
    return out;
}

RasterFetchResult fetchRasterTiles(WfsClient& client, const geo::Bbox& frame, const RasterSource& source,
                                   const TileProgress& progress) {
    RasterFetchResult out;
    const double frameWidth = frame.maxX - frame.minX, frameHeight = frame.maxY - frame.minY;
    if (!(frameWidth > 0) || !(frameHeight > 0) || !(source.metresPerPixel > 0)) return out;
    const std::string key(geo::dataTypeKey(source.type));
    const RasterLayout layout = rasterLayout(frameWidth, frameHeight, source.metresPerPixel);
    if (layout.cut)
        out.warning = "Kadr bardzo szeroki - rastry " + key + " ograniczone do " + std::to_string(layout.nx * layout.ny) +
                      " platek (ok. 1:" + std::to_string(scaleOf(layout.reachedMetresPerPixel)) + ").";
    out.reportLine = "KARTOLINK: rastr " + key + ": kadr " + wholeNumberText(frameWidth) + "x" +
                     wholeNumberText(frameHeight) + " m, gestosc " + resolutionText(source.metresPerPixel) +
                     " m/px (1:" + std::to_string(scaleOf(source.metresPerPixel)) + "), platki " +
                     std::to_string(layout.nx) + "x" + std::to_string(layout.ny);

    const bool zoned = geo::isPl2000Epsg(source.epsg);
    const int epsg = zoned ? source.epsg : geo::kEpsgPl1992;
    const geo::Bbox box = zoned ? geo::pl2000BoxFromPl1992(frame, epsg) : frame;
    const std::vector<geo::Bbox> tiles = rasterTileBoxes(box, layout.nx, layout.ny);
    out.tilesAsked = static_cast<int>(tiles.size());
    for (std::size_t i = 0; i < tiles.size(); ++i) {
        if (progress) progress(static_cast<int>(i), out.tilesAsked);
        const geo::Bbox& t = tiles[i];
        for (const TileImageSize size : tileAttemptSizes(t.maxX - t.minX, t.maxY - t.minY, source.metresPerPixel)) {
            HttpResponse r = client.getWithTimeout(
                buildGetMapUrl(source.endpoint, source.layers, size.width, size.height, epsg, t.minX, t.minY, t.maxX,
                               t.maxY),
                client.timings().defaultReceiveTimeoutMs);
            if (r.status != 200 || !r.error.empty()) continue;
            const auto image = probeImage(r.body);
            // An image of another size is not the drawing of the box that was asked for.
            if (!image || image->width != size.width || image->height != size.height) continue;
            out.tiles.push_back({source.type, std::move(r.body), std::string(image->mimeType), t, epsg});
            break;
        }
    }
    if (progress) progress(out.tilesAsked, out.tilesAsked);
    return out;
}

}  // namespace kl::net
