// Roofs over four-vertex footprints whose faces run between lines parallel to
// the ridge: the eave on one long side, the breaks of the profile (each at
// a fraction of the span, a height and a hip inset at either end), the eave
// on the other side.
#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "buildings/lod2fit/roof_shapes.h"
#include "buildings/lod2fit/roof_walls.h"

namespace kl::buildings::lod2fit {
namespace {

struct ProfileBreak {
  double across;  // 0 at the P0P1 eave, 1 at the P3P2 eave
  double z;
  double insetStart = 0.0;  // towards P1 from the P0P3 end
  double insetEnd = 0.0;    // towards P0 from the P1P2 end
};

using Quad = std::array<geo::Point2d, 4>;

// The footprint counter-clockwise, starting at the edge that runs most along
// the main direction, so the ridge follows the direction the planes found
// whichever vertex the footprint's list starts on.
std::optional<Quad> quadAlong(const Footprint& footprint, const RoofParams& params) {
  if (footprint.size() != 4) return std::nullopt;
  const Footprint ccw = counterClockwise(footprint);
  size_t start = 0;
  double best = -2.0;
  for (size_t i = 0; i < 4; ++i) {
    const geo::Point2d& a = ccw[i];
    const geo::Point2d& b = ccw[(i + 1) % 4];
    const double length = std::hypot(b.x - a.x, b.y - a.y);
    const double along = length > 1e-12 ? ((b.x - a.x) * params.dirX + (b.y - a.y) * params.dirY) / length : -1.0;
    if (along > best) {
      best = along;
      start = i;
    }
  }
  Quad quad;
  for (size_t i = 0; i < 4; ++i) quad[i] = ccw[(start + i) % 4];
  return quad;
}

geo::Point2d lerp(geo::Point2d a, geo::Point2d b, double t) { return {a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)}; }

double clampInset(double inset, double length) { return std::max(0.0, std::min(inset, length / 2.0 - 1e-6)); }

void profileRoof(RoofMesh& mesh, const RoofParams& params, const Footprint& footprint,
                 const std::vector<ProfileBreak>& breaks) {
  const auto quad = quadAlong(footprint, params);
  if (!quad) return flatRoof(mesh, params, footprint);
  const Quad& p = *quad;
  const auto top = appendPrism(mesh, Footprint(p.begin(), p.end()), params.groundZ, std::vector<double>(4, params.eaveZ));
  if (!top) return;
  std::vector<std::array<std::uint32_t, 2>> lines{{*top, *top + 1}};
  for (const ProfileBreak& b : breaks) {
    const geo::Point2d a0 = lerp(p[0], p[3], b.across), b0 = lerp(p[1], p[2], b.across);
    const double length = std::hypot(b0.x - a0.x, b0.y - a0.y);
    const geo::Point2d u = length > 1e-12 ? geo::Point2d{(b0.x - a0.x) / length, (b0.y - a0.y) / length}
                                          : geo::Point2d{0.0, 0.0};
    const double hs = clampInset(b.insetStart, length), he = clampInset(b.insetEnd, length);
    lines.push_back({appendVertex(mesh, {a0.x + hs * u.x, a0.y + hs * u.y, b.z}),
                     appendVertex(mesh, {b0.x - he * u.x, b0.y - he * u.y, b.z})});
  }
  lines.push_back({*top + 3, *top + 2});
  for (size_t k = 0; k + 1 < lines.size(); ++k)
    mesh.faces.push_back({lines[k][0], lines[k][1], lines[k + 1][1], lines[k + 1][0]});
  std::vector<std::uint32_t> startEnd, farEnd{*top + 1, *top + 2};
  for (const auto& line : lines) startEnd.push_back(line[0]);
  for (size_t k = lines.size() - 1; k-- > 1;) farEnd.push_back(lines[k][1]);
  mesh.faces.push_back(std::move(startEnd));
  mesh.faces.push_back(std::move(farEnd));
}

double rise(const RoofParams& params, double share) { return params.eaveZ + share * (params.ridgeZ - params.eaveZ); }

}  // namespace

void gabledRoof(RoofMesh& mesh, const RoofParams& params, const Footprint& footprint) {
  profileRoof(mesh, params, footprint, {{0.5, params.ridgeZ}});
}

void asymGabledRoof(RoofMesh& mesh, const RoofParams& params, const Footprint& footprint) {
  profileRoof(mesh, params, footprint, {{0.68, params.ridgeZ}});
}

void hippedRoof(RoofMesh& mesh, const RoofParams& params, const Footprint& footprint) {
  profileRoof(mesh, params, footprint, {{0.5, params.ridgeZ, params.hipInset, params.hipInset}});
}

// A gable whose top is cut back by a small hip (p6 of the full inset).
void halfHippedRoof(RoofMesh& mesh, const RoofParams& params, const Footprint& footprint) {
  const double inset = params.p6 * params.hipInset;
  profileRoof(mesh, params, footprint, {{0.5, params.ridgeZ, inset, inset}});
}

void hippedOneSidedRoof(RoofMesh& mesh, const RoofParams& params, const Footprint& footprint) {
  profileRoof(mesh, params, footprint, {{0.5, params.ridgeZ, params.hipInset, 0.0}});
}

// Steep lower slopes up to p8 of the rise at p7 of the span, then a low top.
void mansardRoof(RoofMesh& mesh, const RoofParams& params, const Footprint& footprint) {
  const double kink = rise(params, params.p8);
  profileRoof(mesh, params, footprint, {{params.p7, kink}, {0.5, params.ridgeZ}, {1.0 - params.p7, kink}});
}

// A steep front slope to a flat top over the rest of the span.
void berlinRoof(RoofMesh& mesh, const RoofParams& params, const Footprint& footprint) {
  profileRoof(mesh, params, footprint, {{params.p7, params.ridgeZ}, {1.0 - params.p7, params.ridgeZ}});
}

void fiveSidedGabledRoof(RoofMesh& mesh, const RoofParams& params, const Footprint& footprint) {
  const double shoulder = rise(params, 0.75);
  profileRoof(mesh, params, footprint, {{0.25, shoulder}, {0.5, params.ridgeZ}, {0.75, shoulder}});
}

// A half cylinder across the span, in eight facets.
void barrelRoof(RoofMesh& mesh, const RoofParams& params, const Footprint& footprint) {
  constexpr int kFacets = 8;
  std::vector<ProfileBreak> arc;
  for (int k = 1; k < kFacets; ++k) {
    const double t = static_cast<double>(k) / kFacets;
    arc.push_back({t, rise(params, std::sin(std::numbers::pi * t))});
  }
  profileRoof(mesh, params, footprint, arc);
}

// A high middle roof between low aisle roofs.
void naveRoof(RoofMesh& mesh, const RoofParams& params, const Footprint& footprint) {
  const double aisle = rise(params, 0.3), clerestory = rise(params, 0.6);
  profileRoof(mesh, params, footprint,
              {{0.25, aisle}, {0.3, clerestory}, {0.5, params.ridgeZ}, {0.7, clerestory}, {0.75, aisle}});
}

}  // namespace kl::buildings::lod2fit
