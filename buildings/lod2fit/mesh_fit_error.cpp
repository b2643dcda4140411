#include "buildings/lod2fit/mesh_fit_error.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace kl::buildings::lod2fit {
namespace {

struct V {
  double x, y, z;
};
V operator-(const Point3d& a, const Point3d& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
double dot(const V& a, const V& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V cross(const V& a, const V& b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double norm(const V& a) { return std::sqrt(dot(a, a)); }

double pointSegmentDistance(const Point3d& p, const Point3d& a, const Point3d& b) {
  const V ab = b - a, ap = p - a;
  const double length2 = dot(ab, ab);
  const double t = length2 > 0 ? std::clamp(dot(ap, ab) / length2, 0.0, 1.0) : 0.0;
  const V off{ap.x - t * ab.x, ap.y - t * ab.y, ap.z - t * ab.z};
  return norm(off);
}

}  // namespace

double pointTriangleDistance(const Point3d& p, const Point3d& a, const Point3d& b, const Point3d& c) {
  const V ab = b - a, ac = c - a;
  const V n = cross(ab, ac);
  const double area2 = norm(n);
  if (area2 < 1e-12)
    return std::min({pointSegmentDistance(p, a, b), pointSegmentDistance(p, b, c), pointSegmentDistance(p, c, a)});
  // Inside the prism over the triangle the nearest point is the foot on the
  // plane; outside it lies on an edge.
  const V ap = p - a;
  const V bp = p - b;
  const V cp = p - c;
  const bool inside = dot(cross(ab, ap), n) >= 0 && dot(cross(c - b, bp), n) >= 0 && dot(cross(a - c, cp), n) >= 0;
  if (inside) return std::abs(dot(ap, n)) / area2;
  return std::min({pointSegmentDistance(p, a, b), pointSegmentDistance(p, b, c), pointSegmentDistance(p, c, a)});
}

double meshFitError(const RoofMesh& mesh, const std::vector<Point3d>& points) {
  std::vector<std::array<std::uint32_t, 3>> triangles;
  for (const auto& face : mesh.faces)
    for (size_t i = 2; i < face.size(); ++i) triangles.push_back({face[0], face[i - 1], face[i]});
  if (points.empty() || triangles.empty()) return kNoFitError;
  const size_t step = points.size() > 5000 ? points.size() / 5000 : 1;
  double sum = 0;
  size_t used = 0;
  for (size_t i = 0; i < points.size(); i += step) {
    double nearest = std::numeric_limits<double>::infinity();
    for (const auto& t : triangles)
      nearest = std::min(nearest, pointTriangleDistance(points[i], mesh.vertices[t[0]], mesh.vertices[t[1]],
                                                        mesh.vertices[t[2]]));
    sum += nearest;
    ++used;
  }
  return sum / static_cast<double>(used);
}

}  // namespace kl::buildings::lod2fit
