#pragma once
// A roof shape that builds a closed mesh (walls and roof) over a footprint
// from the shape parameters, and the registry that finds one by name.
#include <string_view>
#include <vector>

#include "buildings/lod2fit/roof_model.h"

namespace kl::buildings::lod2fit {

class RoofPrimitive {
 public:
  virtual ~RoofPrimitive() = default;
  virtual std::string_view name() const = 0;
  // Replaces the mesh's contents; a footprint the shape cannot take gets the
  // flat roof instead.
  virtual RoofMesh& fit(RoofMesh& out, const RoofParams& params, const Footprint& footprint) const = 0;
};

// Every primitive, in lookup order, built once.
const std::vector<const RoofPrimitive*>& roofPrimitives();

// The first primitive of that name, else the flat one.
const RoofPrimitive& roofPrimitive(std::string_view name);

}  // namespace kl::buildings::lod2fit
