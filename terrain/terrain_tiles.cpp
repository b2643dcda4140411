#include "terrain/terrain_tiles.h"

#include <algorithm>
#include <cmath>

namespace kl::terrain {
namespace {

// Covered nodes [first, last] of tile `index` along one axis: its own `per`
// nodes plus the first node of the next tile, cut at the axis' end.
struct Span {
  long long first = 0;
  long long last = 0;
};

Span span(long long index, long long per, long long tiles, long long nodes) {
  const long long first = index * per;
  const long long own = first + per - 1 + (index + 1 < tiles ? 1 : 0);
  return {first, std::min(own, nodes - 1)};
}

}  // namespace

TerrainTiles buildTerrainTiles(const geo::Bbox& frame, double step, const HeightSampler& sampler) {
  TerrainTiles out;
  if (!(step > 0.0)) step = 1.0;
  const double width = frame.maxX - frame.minX;
  const double height = frame.maxY - frame.minY;
  if (!(width >= 0.0 && height >= 0.0) || !std::isfinite(width) || !std::isfinite(height)) return out;

  // Node counts stay doubles until the tile count is cut: a frame of
  // kilometres at a fine step must not overflow an integer.
  const double nodesX = std::floor(width / step) + 1.0;
  const double nodesY = std::floor(height / step) + 1.0;
  double tilesX = std::max(1.0, std::ceil(nodesX / kTileNodes));
  double tilesY = std::max(1.0, std::ceil(nodesY / kTileNodes));
  if (tilesX > kMaxTilesPerAxis || tilesY > kMaxTilesPerAxis) {
    tilesX = std::min<double>(tilesX, kMaxTilesPerAxis);
    tilesY = std::min<double>(tilesY, kMaxTilesPerAxis);
    const auto wider = static_cast<long long>(std::ceil(std::max(width, height) / (kMaxTilesPerAxis * kTileNodes - 1)));
    out.message = "Kadr za duzy dla kroku " + std::to_string(static_cast<long long>(step)) +
                  " m - teren ograniczony do 4x4 platek. Zwieksz krok do >= " + std::to_string(wider) +
                  " m, aby pokryc caly kadr.";
  }
  const auto perX = static_cast<long long>(std::min<double>(kTileNodes, std::ceil(nodesX / tilesX)));
  const auto perY = static_cast<long long>(std::min<double>(kTileNodes, std::ceil(nodesY / tilesY)));
  // Beyond the covered tiles no node is ever read, so the counts can be cut.
  const auto nx = static_cast<long long>(std::min(nodesX, tilesX * static_cast<double>(perX)));
  const auto ny = static_cast<long long>(std::min(nodesY, tilesY * static_cast<double>(perY)));
  const auto tx = static_cast<long long>(tilesX);
  const auto ty = static_cast<long long>(tilesY);

  for (long long j = 0; j < ty; ++j) {
    const Span rows = span(j, perY, ty, ny);
    for (long long i = 0; i < tx; ++i) {
      const Span cols = span(i, perX, tx, nx);
      if (cols.first > cols.last || rows.first > rows.last) continue;
      TerrainTile tile;
      for (long long r = rows.first; r <= rows.last; ++r) {
        const double y = frame.minY + static_cast<double>(r) * step;
        for (long long c = cols.first; c <= cols.last; ++c) {
          const double x = frame.minX + static_cast<double>(c) * step;
          if (const auto z = sampler(x, y)) tile.points.push_back({x, y, *z});
        }
      }
      if (tile.points.empty()) continue;
      tile.minX = frame.minX + static_cast<double>(cols.first) * step;
      tile.maxX = frame.minX + static_cast<double>(cols.last) * step;
      tile.minY = frame.minY + static_cast<double>(rows.first) * step;
      tile.maxY = frame.minY + static_cast<double>(rows.last) * step;
      out.tiles.push_back(std::move(tile));
    }
  }
  return out;
}

}  // namespace kl::terrain
