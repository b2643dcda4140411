#include "placement/raster_placement.h"

#include <cmath>
#include <string>

#include "geodata/polish_crs.h"

namespace kl::placement {
namespace {

geo::Point2d toWorking(geo::Point2d p, int fromEpsg, int workingEpsg) {
    if (fromEpsg == workingEpsg) return p;
    const geo::Point2d pl1992 = geo::isPl2000Epsg(fromEpsg) ? geo::pl2000ToPl1992(p.x, p.y, fromEpsg) : p;
    return geo::isPl2000Epsg(workingEpsg) ? geo::pl1992ToPl2000(pl1992.x, pl1992.y, workingEpsg) : pl1992;
}

}  // namespace

PictureBox pictureBoxFor(const net::RasterTile& tile, const PlacementTransform& t, int workingEpsg) {
    const auto corner = [&](double x, double y) { return t.apply(toWorking({x, y}, tile.epsg, workingEpsg)); };
    const geo::Point2d q0 = corner(tile.box.minX, tile.box.minY);
    const geo::Point2d q1 = corner(tile.box.maxX, tile.box.minY);
    const geo::Point2d q2 = corner(tile.box.minX, tile.box.maxY);
    return {q0, std::hypot(q1.x - q0.x, q1.y - q0.y), std::hypot(q2.x - q0.x, q2.y - q0.y),
            std::atan2(q1.y - q0.y, q1.x - q0.x)};
}

void placeRasterTiles(const std::vector<net::RasterTile>& tiles, const PlacementTransform& t, int workingEpsg,
                      LayerResolver& layers, PlaceResult& result) {
    for (const net::RasterTile& tile : tiles) {
        const std::string key(geo::dataTypeKey(tile.type));
        const int32_t layer = layers.layerForType(tile.type);
        if (layer == kInvalidLayer) {
            result.error = missingLayerMessage(tile.type);
            return;
        }
        if (const KlErr err = makePicture(pictureBoxFor(tile, t, workingEpsg), tile.mimeType, tile.image, layer)) {
            result.error = "Blad wstawiania rastra (kod " + std::to_string(err) + ") dla: " + key;
            return;
        }
        if (!tile.image.empty()) ++result.counts[key + " (rastr)"];
    }
}

}  // namespace kl::placement
