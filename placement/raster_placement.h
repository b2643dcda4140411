#pragma once
// Map image tiles placed as host pictures, each stretched and turned onto
// the ground it shows.
#include <vector>

#include "net/raster_tiles.h"
#include "placement/element_makers.h"
#include "placement/layer_resolver.h"
#include "placement/place_result.h"
#include "placement/placement_transform.h"

namespace kl::placement {

// Where one tile lands in the project: its south-west corner is the
// picture's origin. The corners go from the tile's request system to PL-1992
// and on to the working system (a PL-2000 zone, or 2180) before the
// transform, so a tile fetched in another zone than the project's lands
// where it belongs.
PictureBox pictureBoxFor(const net::RasterTile& tile, const PlacementTransform& t, int workingEpsg);

// One picture element per tile on the layer of its type, counted under
// "<key> (rastr)". A host failure sets the error and stops, so the caller
// rolls the whole import back.
void placeRasterTiles(const std::vector<net::RasterTile>& tiles, const PlacementTransform& t, int workingEpsg,
                      LayerResolver& layers, PlaceResult& result);

}  // namespace kl::placement
