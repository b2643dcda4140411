#include "buildings/ring_lift.h"

#include <cmath>

namespace kl::buildings {

Face liftRing(const geo::Ring& ring, const Plane& plane) {
    Face face;
    face.reserve(ring.size());
    const bool vertical = std::abs(plane.nz) < 1e-9;
    for (const geo::Point2d& p : ring)
        face.push_back({p.x, p.y, vertical ? 0.0 : -(plane.nx * p.x + plane.ny * p.y + plane.d) / plane.nz});
    return face;
}

}  // namespace kl::buildings
