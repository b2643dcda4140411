#pragma once
// Morph elements built face by face through the host's body calls.
#include <cstdint>
#include <string_view>
#include <vector>

#include "host/sdk/kl_host_api.h"
#include "placement/face_triangulation.h"

namespace kl::placement {

// One face of a body in project metres, heights already relative to the
// project's base: an outline and its holes (a courtyard).
struct BodyFace {
    Ring3 outline;
    std::vector<Ring3> holes;
};

// Returned for an empty face list, before the host is asked for anything.
inline constexpr KlErr kErrNoFaces = static_cast<KlErr>(0x81060068u);

struct MorphMode {
    bool triangulateAll = false;
    // Points closer than half a millimetre share one vertex and neighbouring
    // faces share their edge (reversed); otherwise every face stands alone.
    bool sharedTopology = true;
};

// Planar convex faces without holes become one polygon each (unless
// triangulateAll); every other face is triangulated. stats may be null.
KlErr makeMorph(const std::vector<BodyFace>& faces, int32_t layer, MorphMode mode, int32_t material,
                TriangulationStats* stats, std::string_view id);

// The modes a body is tried in, strictest first: as faces with shared edges,
// all triangles with shared edges, all triangles each on its own.
inline constexpr MorphMode kMorphModes[] = {{false, true}, {true, true}, {true, false}};

// Tries the modes in order; the first success ends it. Returns the last
// attempt's code; mode receives the index of the mode that succeeded.
KlErr makeMorphWithFallback(const std::vector<BodyFace>& faces, int32_t material, int32_t layer,
                            TriangulationStats* stats = nullptr, std::string_view id = {}, int* mode = nullptr);

}  // namespace kl::placement
