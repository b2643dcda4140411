#include "host/core/mesh_record.h"

#include <algorithm>
#include <cmath>

namespace kl::host {
namespace {

double distanceToSegment(const KlCoord3& p, const KlCoord& a, const KlCoord& b) {
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double len2 = dx * dx + dy * dy;
    const double t = len2 > 0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / len2, 0.0, 1.0) : 0.0;
    return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

// Inside by the even-odd rule over every ring, or within the tolerance of an edge.
bool insideOutline(const KlCoord3& p, const ElementRecord& r) {
    bool inside = false;
    size_t start = 0;
    for (int32_t end : r.ringEnds) {
        for (size_t i = start; i + 1 < static_cast<size_t>(end); ++i) {
            const KlCoord& a = r.coords[i];
            const KlCoord& b = r.coords[i + 1];
            if ((a.y > p.y) != (b.y > p.y) && p.x < a.x + (p.y - a.y) * (b.x - a.x) / (b.y - a.y)) inside = !inside;
        }
        start = static_cast<size_t>(end);
    }
    if (inside) return true;
    start = 0;
    for (int32_t end : r.ringEnds) {
        for (size_t i = start; i + 1 < static_cast<size_t>(end); ++i)
            if (distanceToSegment(p, r.coords[i], r.coords[i + 1]) <= kMeshOutlineTolerance) return true;
        start = static_cast<size_t>(end);
    }
    return false;
}

}  // namespace

KlErr copyMeshLevels(const KlMemo& m, ElementRecord& out) {
    if (!m.boundaryZ) return KL_ERR_BADPARS;
    out.boundaryZ.assign(m.boundaryZ, m.boundaryZ + out.coords.size());
    for (double z : out.boundaryZ)
        if (!std::isfinite(z)) return KL_ERR_BADPARS;

    if (m.nLevelPoints < 0 || m.nLevelEnds < 0 || (m.nLevelPoints > 0 && (!m.levelPoints || !m.levelEnds)) ||
        (m.nLevelPoints == 0) != (m.nLevelEnds == 0))
        return KL_ERR_BADPARS;
    out.levelPoints.assign(m.levelPoints, m.levelPoints + m.nLevelPoints);
    out.levelEnds.assign(m.levelEnds, m.levelEnds + m.nLevelEnds);
    int32_t previous = 0;
    for (int32_t end : out.levelEnds) {
        if (end <= previous) return KL_ERR_BADPARS;
        previous = end;
    }
    if (previous != m.nLevelPoints) return KL_ERR_BADPARS;
    for (const KlCoord3& p : out.levelPoints)
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z) || !insideOutline(p, out))
            return KL_ERR_BADPARS;
    return KL_NOERROR;
}

}  // namespace kl::host
