#include "buildings/plane.h"

#include <cmath>

namespace kl::buildings {

std::optional<Plane> fitPlane(std::span<const Point3d> points) {
    if (points.size() < 3) return std::nullopt;
    double mx = 0, my = 0;
    for (const Point3d& p : points) {
        mx += p.x;
        my += p.y;
    }
    const double n = static_cast<double>(points.size());
    mx /= n;
    my /= n;
    // Normal equations of z = a*u + b*v + c with u, v centred: centring keeps
    // the sums small for PL-1992 coordinates of hundreds of kilometres.
    double suu = 0, suv = 0, svv = 0, su = 0, sv = 0, suz = 0, svz = 0, sz = 0;
    for (const Point3d& p : points) {
        const double u = p.x - mx, v = p.y - my;
        suu += u * u;
        suv += u * v;
        svv += v * v;
        su += u;
        sv += v;
        suz += u * p.z;
        svz += v * p.z;
        sz += p.z;
    }
    const auto det3 = [](double a, double b, double c, double d, double e, double f, double g, double h, double i) {
        return a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
    };
    const double det = det3(suu, suv, su, suv, svv, sv, su, sv, n);
    if (!std::isfinite(det) || std::abs(det) < 1e-9) return std::nullopt;
    const double a = det3(suz, suv, su, svz, svv, sv, sz, sv, n) / det;
    const double b = det3(suu, suz, su, suv, svz, sv, su, sz, n) / det;
    const double c = det3(suu, suv, suz, suv, svv, svz, su, sv, sz) / det;
    const double len = std::sqrt(a * a + b * b + 1);
    // z = a*x + b*y + (c - a*mx - b*my)  =>  -a*x - b*y + z - (c - a*mx - b*my) = 0
    Plane plane{-a / len, -b / len, 1 / len, -(c - a * mx - b * my) / len};
    if (!std::isfinite(plane.nx) || !std::isfinite(plane.ny) || !std::isfinite(plane.d)) return std::nullopt;
    return plane;
}

Face liftRing(const geo::Ring& ring, const Plane& plane) {
    Face face;
    face.reserve(ring.size());
    for (const geo::Point2d& p : ring) {
        const double z = std::abs(plane.nz) < 1e-9 ? 0.0 : -(plane.nx * p.x + plane.ny * p.y + plane.d) / plane.nz;
        face.push_back({p.x, p.y, z});
    }
    return face;
}

}  // namespace kl::buildings
