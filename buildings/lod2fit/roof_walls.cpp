#include "buildings/lod2fit/roof_walls.h"

#include <algorithm>

namespace kl::buildings::lod2fit {

double doubledArea(const Footprint& footprint) {
  double sum = 0;
  for (size_t i = 0; i < footprint.size(); ++i) {
    const geo::Point2d& a = footprint[i];
    const geo::Point2d& b = footprint[(i + 1) % footprint.size()];
    sum += a.x * b.y - b.x * a.y;
  }
  return sum;
}

Footprint counterClockwise(const Footprint& footprint) {
  Footprint out = footprint;
  if (doubledArea(out) < 0) std::reverse(out.begin(), out.end());
  return out;
}

std::uint32_t appendVertex(RoofMesh& mesh, const Point3d& p) {
  mesh.vertices.push_back(p);
  return static_cast<std::uint32_t>(mesh.vertices.size() - 1);
}

std::optional<std::uint32_t> appendPrism(RoofMesh& mesh, const Footprint& ccw, double groundZ,
                                         const std::vector<double>& tops) {
  const size_t n = ccw.size();
  if (n < 3 || tops.size() != n) return std::nullopt;
  const auto base = static_cast<std::uint32_t>(mesh.vertices.size());
  const auto top = static_cast<std::uint32_t>(base + n);
  for (const geo::Point2d& p : ccw) mesh.vertices.push_back({p.x, p.y, groundZ});
  for (size_t i = 0; i < n; ++i) mesh.vertices.push_back({ccw[i].x, ccw[i].y, tops[i]});
  // Seen from below, the bottom runs clockwise: its edges are the walls'
  // bottom edges reversed.
  std::vector<std::uint32_t> bottom;
  for (size_t i = n; i-- > 0;) bottom.push_back(base + static_cast<std::uint32_t>(i));
  mesh.faces.push_back(std::move(bottom));
  for (std::uint32_t i = 0; i < n; ++i) {
    const std::uint32_t j = (i + 1) % static_cast<std::uint32_t>(n);
    mesh.faces.push_back({base + i, base + j, top + j, top + i});
  }
  return top;
}

void appendTopFace(RoofMesh& mesh, std::uint32_t firstTop, size_t n) {
  std::vector<std::uint32_t> face;
  for (std::uint32_t i = 0; i < n; ++i) face.push_back(firstTop + i);
  mesh.faces.push_back(std::move(face));
}

void appendMesh(RoofMesh& mesh, const RoofMesh& part) {
  const auto offset = static_cast<std::uint32_t>(mesh.vertices.size());
  mesh.vertices.insert(mesh.vertices.end(), part.vertices.begin(), part.vertices.end());
  for (const auto& face : part.faces) {
    std::vector<std::uint32_t> moved;
    for (std::uint32_t v : face) moved.push_back(v + offset);
    mesh.faces.push_back(std::move(moved));
  }
}

}  // namespace kl::buildings::lod2fit
