#pragma once
// The builders behind the registered primitives, each appending one closed
// solid (or several) to a mesh.
#include "buildings/lod2fit/roof_model.h"

namespace kl::buildings::lod2fit {

using ShapeBuilder = void (*)(RoofMesh&, const RoofParams&, const Footprint&);

// One top face: level at the eave, or rising across the main direction.
void flatRoof(RoofMesh& mesh, const RoofParams& params, const Footprint& footprint);
void shedRoof(RoofMesh& mesh, const RoofParams& params, const Footprint& footprint);

// Four-vertex footprints with a ridge along the main direction.
void gabledRoof(RoofMesh& mesh, const RoofParams& params, const Footprint& footprint);
void asymGabledRoof(RoofMesh& mesh, const RoofParams& params, const Footprint& footprint);
void hippedRoof(RoofMesh& mesh, const RoofParams& params, const Footprint& footprint);
void halfHippedRoof(RoofMesh& mesh, const RoofParams& params, const Footprint& footprint);
void hippedOneSidedRoof(RoofMesh& mesh, const RoofParams& params, const Footprint& footprint);
void mansardRoof(RoofMesh& mesh, const RoofParams& params, const Footprint& footprint);
void berlinRoof(RoofMesh& mesh, const RoofParams& params, const Footprint& footprint);
void fiveSidedGabledRoof(RoofMesh& mesh, const RoofParams& params, const Footprint& footprint);
void barrelRoof(RoofMesh& mesh, const RoofParams& params, const Footprint& footprint);
void naveRoof(RoofMesh& mesh, const RoofParams& params, const Footprint& footprint);

// Roofs rising from every wall to one apex.
void tentRoof(RoofMesh& mesh, const RoofParams& params, const Footprint& footprint);
void domeRoof(RoofMesh& mesh, const RoofParams& params, const Footprint& footprint);

// Wings of simpler roofs over parts of the footprint's bounds.
void gabledCornerRoof(RoofMesh& mesh, const RoofParams& params, const Footprint& footprint);
void gabledCrossRoof(RoofMesh& mesh, const RoofParams& params, const Footprint& footprint);
void gabledTElementRoof(RoofMesh& mesh, const RoofParams& params, const Footprint& footprint);
void shedGabledCornerRoof(RoofMesh& mesh, const RoofParams& params, const Footprint& footprint);
void berlinShedCornerRoof(RoofMesh& mesh, const RoofParams& params, const Footprint& footprint);
void shedCornerInversRoof(RoofMesh& mesh, const RoofParams& params, const Footprint& footprint);
void shedGabledCrossRoof(RoofMesh& mesh, const RoofParams& params, const Footprint& footprint);
void shedBerlinCrossRoof(RoofMesh& mesh, const RoofParams& params, const Footprint& footprint);
void gabledDormerRoof(RoofMesh& mesh, const RoofParams& params, const Footprint& footprint);
void shedDormerRoof(RoofMesh& mesh, const RoofParams& params, const Footprint& footprint);

}  // namespace kl::buildings::lod2fit
