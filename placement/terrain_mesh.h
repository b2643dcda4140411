#pragma once
// Terrain as the host's mesh element: an outline with a height at each
// corner and level data inside it. A terrain tile gives a mesh through level
// points, the contours of the frame one through level lines. Each attempt
// appends a line to the terrain diagnostics file.
#include <array>
#include <cstdint>
#include <vector>

#include "geodata/geometry.h"
#include "host/sdk/kl_host_api.h"
#include "placement/placement_transform.h"
#include "terrain/contour.h"
#include "terrain/terrain_tile.h"

namespace kl::placement {

// Outline corners in source metres, in the order of a box's
// (minX, minY), (maxX, minY), (maxX, maxY), (minX, maxY); after a change of
// grid the four need not form a box any more.
using MeshCorners = std::array<geo::Point2d, 4>;

MeshCorners cornersOf(double minX, double minY, double maxX, double maxY);

// The nodes of one terrain tile with the outline of its own nodes, so that
// the meshes of neighbouring tiles share their seam instead of overlapping.
struct MeshGrid {
    MeshCorners corners{};
    std::vector<terrain::TerrainPoint> points;
};

struct MeshAttempt {
    bool made = false;         // the host was asked to create a mesh
    KlErr hostCode = KL_NOERROR;
    bool placed() const { return made && hostCode == KL_NOERROR; }
};

// Heights become relative to baseHeight, the height of the project's zero.
// An empty grid makes nothing.
MeshAttempt createMesh(const MeshGrid& grid, const PlacementTransform& transform, double baseHeight, int32_t layer);

// Contours shorter than 1 m are left out as stubs. Nothing is made when the
// rest hold fewer than 3 points or the frame is collapsed to a line.
MeshAttempt createMeshFromContours(const std::vector<terrain::Contour>& contours, const MeshCorners& frame,
                                   const PlacementTransform& transform, double baseHeight, int32_t layer);

// A level surface over a closed ring (source metres, the first point repeated
// at the end), as water lies; a ring of fewer than 3 corners makes nothing.
MeshAttempt createFlatMesh(const std::vector<geo::Point2d>& ring, double height, const PlacementTransform& transform,
                           double baseHeight, int32_t layer);

}  // namespace kl::placement
