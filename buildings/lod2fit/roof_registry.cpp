#include <string>

#include "buildings/lod2fit/roof_primitive.h"
#include "buildings/lod2fit/roof_shapes.h"

namespace kl::buildings::lod2fit {
namespace {

// The primitives are stateless: a name and the builder of their shape.
class ShapePrimitive final : public RoofPrimitive {
 public:
  constexpr ShapePrimitive(std::string_view name, ShapeBuilder build) : name_(name), build_(build) {}
  std::string_view name() const override { return name_; }
  RoofMesh& fit(RoofMesh& out, const RoofParams& params, const Footprint& footprint) const override {
    out = {};
    build_(out, params, footprint);
    return out;
  }

 private:
  std::string_view name_;
  ShapeBuilder build_;
};

const ShapePrimitive kFallback{"Flat", flatRoof};

// Lookup order; the classifier only ever names the first five kinds.
const ShapePrimitive kPrimitives[] = {
    {"Flat", flatRoof},
    {"Shed", shedRoof},
    {"Gabled", gabledRoof},
    {"Hipped", hippedRoof},
    {"Tent", tentRoof},
    {"HalfHipped", halfHippedRoof},
    {"HippedOneSided", hippedOneSidedRoof},
    {"Mansard", mansardRoof},
    {"FiveSidedGabled", fiveSidedGabledRoof},
    {"AsymGabled", asymGabledRoof},
    {"BerlinRoof", berlinRoof},
    {"Barrel", barrelRoof},
    {"Cone", tentRoof},
    {"Dome", domeRoof},
    {"Nave", naveRoof},
    {"GabledCross", gabledCrossRoof},
    {"GabledCorner", gabledCornerRoof},
    {"GabledTElement", gabledTElementRoof},
    {"ShedGabledCross", shedGabledCrossRoof},
    {"ShedBerlinCross", shedBerlinCrossRoof},
    {"ShedCornerInvers", shedCornerInversRoof},
    {"ShedGabledCorner", shedGabledCornerRoof},
    {"BerlinShedCorner", berlinShedCornerRoof},
    {"ShedDormer", shedDormerRoof},
    {"GabledDormer", gabledDormerRoof},
};

}  // namespace

const std::vector<const RoofPrimitive*>& roofPrimitives() {
  static const std::vector<const RoofPrimitive*> all = [] {
    std::vector<const RoofPrimitive*> list;
    for (const ShapePrimitive& p : kPrimitives) list.push_back(&p);
    return list;
  }();
  return all;
}

const RoofPrimitive& roofPrimitive(std::string_view name) {
  for (const RoofPrimitive* p : roofPrimitives())
    if (p->name() == name) return *p;
  return kFallback;
}

}  // namespace kl::buildings::lod2fit
