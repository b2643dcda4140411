#pragma once
// How far, on average, roof points lie from a mesh.
#include <vector>

#include "buildings/lod2fit/roof_model.h"

namespace kl::buildings::lod2fit {

// Exact distance from a point to a triangle; a triangle whose edge cross
// product is shorter than 1e-12 counts as its three edges.
double pointTriangleDistance(const Point3d& p, const Point3d& a, const Point3d& b, const Point3d& c);

// Mean over the points (every k-th of more than 5000, k = N / 5000) of the
// distance to the nearest triangle of the mesh, faces split as fans from
// their first vertex; 1e9 without points or faces.
double meshFitError(const RoofMesh& mesh, const std::vector<Point3d>& points);

}  // namespace kl::buildings::lod2fit
