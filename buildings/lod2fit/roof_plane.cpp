#include "buildings/lod2fit/roof_plane.h"

#include <cmath>

namespace kl::buildings::lod2fit {

std::optional<RoofPlane> fitRoofPlane(std::span<const Point3d> points) {
  if (points.size() < 3) return std::nullopt;
  const double n = static_cast<double>(points.size());
  double mx = 0, my = 0;
  for (const Point3d& p : points) {
    mx += p.x;
    my += p.y;
  }
  mx /= n;
  my /= n;
  // Centred sums keep the system well conditioned at PL-1992 magnitudes.
  double sxx = 0, sxy = 0, syy = 0, sx = 0, sy = 0, sxz = 0, syz = 0, sz = 0;
  for (const Point3d& p : points) {
    const double dx = p.x - mx, dy = p.y - my;
    sxx += dx * dx;
    sxy += dx * dy;
    syy += dy * dy;
    sx += dx;
    sy += dy;
    sxz += dx * p.z;
    syz += dy * p.z;
    sz += p.z;
  }
  const auto det3 = [](double a, double b, double c, double d, double e, double f, double g, double h, double i) {
    return a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
  };
  const double det = det3(sxx, sxy, sx, sxy, syy, sy, sx, sy, n);
  if (!(std::abs(det) >= 1e-9)) return std::nullopt;
  const double a = det3(sxz, sxy, sx, syz, syy, sy, sz, sy, n) / det;
  const double b = det3(sxx, sxz, sx, sxy, syz, sy, sx, sz, n) / det;
  const double c = det3(sxx, sxy, sxz, sxy, syy, syz, sx, sy, sz) / det;
  const double len = std::sqrt(a * a + b * b + 1.0);
  // z = a(x - mx) + b(y - my) + c  <=>  -a x - b y + z + (a mx + b my - c) = 0
  return RoofPlane{-a / len, -b / len, 1.0 / len, (a * mx + b * my - c) / len};
}

}  // namespace kl::buildings::lod2fit
