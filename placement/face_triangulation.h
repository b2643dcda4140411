#pragma once
// A 3D face (outline and holes) cut into triangles that keep the face's own
// facing: every triangle turns the way the face's Newell normal points, so
// neighbouring faces keep meeting edge against reversed edge.
#include <vector>

#include "buildings/lod_building.h"
#include "placement/ear_clipping.h"

namespace kl::placement {

using Ring3 = std::vector<buildings::Point3d>;

// How the faces of one placement command were made into polygons.
struct TriangulationStats {
    int faces = 0;
    int planarConvex = 0;
    int planarConcave = 0;
    int nonPlanar = 0;
    int earClipOk = 0;
    int fanFallbacks = 0;
    int fanFallbackWorstN = 0;
    int quasiFans = 0;
    int quasiFanWorstN = 0;
    int quasiFansAfterFlips = 0;
};

struct Vec3 {
    double x = 0, y = 0, z = 0;
};

// Sum over the outline's edges; its length is twice the face's area.
Vec3 newellNormal(const Ring3& ring);

// The triangles of the face; indices run over the outline's points and then
// each hole's. A face the clipping cannot cut falls back to a fan over its
// outline. stats may be null.
std::vector<Triangle> triangulateFace(const Ring3& outline, const std::vector<Ring3>& holes, TriangulationStats* stats);

}  // namespace kl::placement
