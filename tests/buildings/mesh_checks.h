#pragma once
// Whether a mesh bounds a solid: every directed edge once, its reverse once
// (so the faces agree on their winding), and a positive enclosed volume (so
// that winding points out).
#include <cmath>
#include <map>
#include <string>
#include <utility>

#include "buildings/lod2fit/roof_model.h"

namespace kl::buildings::lod2fit {

inline std::string closedOutwardProblem(const RoofMesh& mesh) {
  if (mesh.faces.empty()) return "no faces";
  std::map<std::pair<std::uint32_t, std::uint32_t>, int> edges;
  for (const auto& face : mesh.faces) {
    if (face.size() < 3) return "a face of fewer than 3 vertices";
    for (size_t i = 0; i < face.size(); ++i) {
      if (face[i] >= mesh.vertices.size()) return "an index past the vertices";
      ++edges[{face[i], face[(i + 1) % face.size()]}];
    }
  }
  for (const auto& [edge, count] : edges) {
    if (count != 1) return "edge " + std::to_string(edge.first) + "->" + std::to_string(edge.second) + " used " +
                           std::to_string(count) + " times";
    if (!edges.count({edge.second, edge.first}))
      return "edge " + std::to_string(edge.first) + "->" + std::to_string(edge.second) + " has no reverse";
  }
  const Point3d& o = mesh.vertices[0];
  double volume = 0;
  for (const auto& face : mesh.faces) {
    const Point3d& a = mesh.vertices[face[0]];
    for (size_t i = 2; i < face.size(); ++i) {
      const Point3d& b = mesh.vertices[face[i - 1]];
      const Point3d& c = mesh.vertices[face[i]];
      const double ax = a.x - o.x, ay = a.y - o.y, az = a.z - o.z;
      const double bx = b.x - o.x, by = b.y - o.y, bz = b.z - o.z;
      const double cx = c.x - o.x, cy = c.y - o.y, cz = c.z - o.z;
      volume += (ax * (by * cz - bz * cy) - ay * (bx * cz - bz * cx) + az * (bx * cy - by * cx)) / 6.0;
    }
  }
  for (const Point3d& v : mesh.vertices)
    if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z)) return "a vertex that is not a number";
  return volume > 0 ? "" : "volume not positive (faces inward)";
}

}  // namespace kl::buildings::lod2fit
