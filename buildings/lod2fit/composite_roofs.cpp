// Roofs made of wings: simpler roofs over rectangles cut from the
// footprint's bounds, each wing a closed solid of its own.
#include <algorithm>

#include "buildings/lod2fit/roof_shapes.h"
#include "buildings/lod2fit/roof_walls.h"

namespace kl::buildings::lod2fit {
namespace {

struct Bounds {
  double x0, y0, x1, y1;
  double w() const { return x1 - x0; }
  double h() const { return y1 - y0; }
  double cx() const { return (x0 + x1) / 2; }
  double cy() const { return (y0 + y1) / 2; }
};

Bounds boundsOf(const Footprint& footprint) {
  Bounds b{0, 0, 0, 0};
  if (footprint.empty()) return b;
  b = {footprint[0].x, footprint[0].y, footprint[0].x, footprint[0].y};
  for (const geo::Point2d& p : footprint) {
    b.x0 = std::min(b.x0, p.x);
    b.y0 = std::min(b.y0, p.y);
    b.x1 = std::max(b.x1, p.x);
    b.y1 = std::max(b.y1, p.y);
  }
  return b;
}

Footprint rectangle(double a, double b, double c, double d) { return {{a, b}, {c, b}, {c, d}, {a, d}}; }

// Wings along x, or across it (their ridge turned by 90 degrees).
enum class Run { AlongX, AlongY, AgainstX };

void wing(RoofMesh& mesh, ShapeBuilder build, const RoofParams& params, const Footprint& rect, Run run) {
  RoofParams p = params;
  p.dirX = run == Run::AlongX ? 1.0 : run == Run::AgainstX ? -1.0 : 0.0;
  p.dirY = run == Run::AlongY ? 1.0 : 0.0;
  RoofMesh part;
  build(part, p, rect);
  appendMesh(mesh, part);
}

void twoWings(RoofMesh& mesh, const RoofParams& params, const Footprint& footprint, ShapeBuilder first,
              Run firstRun, ShapeBuilder second, Run secondRun, bool cross) {
  const Bounds b = boundsOf(footprint);
  if (cross) {
    wing(mesh, first, params, rectangle(b.x0, b.cy() - b.h() / 4, b.x1, b.cy() + b.h() / 4), firstRun);
    wing(mesh, second, params, rectangle(b.cx() - b.w() / 4, b.y0, b.cx() + b.w() / 4, b.y1), secondRun);
  } else {
    wing(mesh, first, params, rectangle(b.x0, b.y0, b.x1, b.y0 + b.h() / 2), firstRun);
    wing(mesh, second, params, rectangle(b.x0, b.y0, b.x0 + b.w() / 2, b.y1), secondRun);
  }
}

}  // namespace

void gabledCornerRoof(RoofMesh& mesh, const RoofParams& params, const Footprint& footprint) {
  twoWings(mesh, params, footprint, gabledRoof, Run::AlongX, gabledRoof, Run::AlongY, false);
}

void gabledCrossRoof(RoofMesh& mesh, const RoofParams& params, const Footprint& footprint) {
  twoWings(mesh, params, footprint, gabledRoof, Run::AlongX, gabledRoof, Run::AlongY, true);
}

void gabledTElementRoof(RoofMesh& mesh, const RoofParams& params, const Footprint& footprint) {
  const Bounds b = boundsOf(footprint);
  wing(mesh, gabledRoof, params, rectangle(b.x0, b.y1 - b.h() / 2, b.x1, b.y1), Run::AlongX);
  wing(mesh, gabledRoof, params, rectangle(b.cx() - 0.22 * b.w(), b.y0, b.cx() + 0.22 * b.w(), b.y1), Run::AlongY);
}

void shedGabledCornerRoof(RoofMesh& mesh, const RoofParams& params, const Footprint& footprint) {
  twoWings(mesh, params, footprint, gabledRoof, Run::AlongX, shedRoof, Run::AlongX, false);
}

void berlinShedCornerRoof(RoofMesh& mesh, const RoofParams& params, const Footprint& footprint) {
  twoWings(mesh, params, footprint, asymGabledRoof, Run::AlongX, shedRoof, Run::AlongX, false);
}

void shedCornerInversRoof(RoofMesh& mesh, const RoofParams& params, const Footprint& footprint) {
  twoWings(mesh, params, footprint, shedRoof, Run::AgainstX, shedRoof, Run::AlongX, false);
}

void shedGabledCrossRoof(RoofMesh& mesh, const RoofParams& params, const Footprint& footprint) {
  twoWings(mesh, params, footprint, gabledRoof, Run::AlongX, shedRoof, Run::AlongX, true);
}

void shedBerlinCrossRoof(RoofMesh& mesh, const RoofParams& params, const Footprint& footprint) {
  twoWings(mesh, params, footprint, asymGabledRoof, Run::AlongX, shedRoof, Run::AlongX, true);
}

// The main gabled roof and a small gabled dormer on its front slope.
void gabledDormerRoof(RoofMesh& mesh, const RoofParams& params, const Footprint& footprint) {
  const Bounds b = boundsOf(footprint);
  wing(mesh, gabledRoof, params, rectangle(b.x0, b.y0, b.x1, b.y1), Run::AlongX);
  RoofParams dormer = params;
  dormer.eaveZ = params.eaveZ + 0.5;
  dormer.ridgeZ = params.eaveZ + 1.4;
  wing(mesh, gabledRoof, dormer, rectangle(b.cx() - b.w() / 8, b.y0 + b.h() / 8, b.cx() + b.w() / 8, b.y0 + 3 * b.h() / 8),
       Run::AlongY);
}

// The main gabled roof and a shed dormer rising from 0.3 m below its front
// slope to 0.9 m above it.
void shedDormerRoof(RoofMesh& mesh, const RoofParams& params, const Footprint& footprint) {
  const Bounds b = boundsOf(footprint);
  wing(mesh, gabledRoof, params, rectangle(b.x0, b.y0, b.x1, b.y1), Run::AlongX);
  const double outer = b.y0 + b.h() / 8, inner = b.y0 + 3 * b.h() / 8;
  const auto slope = [&](double y) {
    return b.h() > 1e-9 ? params.eaveZ + (y - b.y0) / (b.h() / 2) * (params.ridgeZ - params.eaveZ) : params.eaveZ;
  };
  RoofParams dormer = params;
  dormer.eaveZ = slope(outer) - 0.3;
  dormer.ridgeZ = slope(inner) + 0.9;
  wing(mesh, shedRoof, dormer, rectangle(b.cx() - b.w() / 8, outer, b.cx() + b.w() / 8, inner), Run::AlongX);
}

}  // namespace kl::buildings::lod2fit
