#pragma once
// The prism every roof stands on: a bottom face and one wall per footprint
// edge, up to a top height per vertex. Faces are wound so that their normals
// point out of the solid.
#include <cstdint>
#include <optional>
#include <vector>

#include "buildings/lod2fit/roof_model.h"

namespace kl::buildings::lod2fit {

// Twice the signed area; positive counter-clockwise.
double doubledArea(const Footprint& footprint);

// The footprint turned counter-clockwise when it runs clockwise.
Footprint counterClockwise(const Footprint& footprint);

// Appends the prism of a counter-clockwise footprint to the mesh and returns
// the index of the first top vertex (top i is that + i); none, and nothing
// appended, unless the footprint has at least 3 vertices and one top each.
std::optional<std::uint32_t> appendPrism(RoofMesh& mesh, const Footprint& ccw, double groundZ,
                                         const std::vector<double>& tops);

std::uint32_t appendVertex(RoofMesh& mesh, const Point3d& p);

// The top ring as one face: the roof of flat and single-slope primitives.
void appendTopFace(RoofMesh& mesh, std::uint32_t firstTop, size_t n);

// Appends another mesh's vertices and faces, its indices moved past ours.
void appendMesh(RoofMesh& mesh, const RoofMesh& part);

}  // namespace kl::buildings::lod2fit
