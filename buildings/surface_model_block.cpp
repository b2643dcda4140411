#include "buildings/surface_model_block.h"

#include <cmath>
#include <optional>

#include "buildings/footprint.h"
#include "buildings/plane.h"
#include "geodata/polygon.h"

namespace kl::buildings {
namespace {

// Lattice points along one axis, both ends included. A footprint so large
// that the lattice would hold millions of points is sampled coarser instead
// of taking minutes.
constexpr double kMaxPointsPerAxis = 1000;

double pitchFor(const geo::Bbox& box, double step) {
    const double wider = std::max(box.maxX - box.minX, box.maxY - box.minY) / (kMaxPointsPerAxis - 1);
    return std::max(step, wider);
}

}  // namespace

ReconstructionResult blockFromSurfaceModel(const geo::Ring& footprint, const SurfaceModelPair& models,
                                           const BlockParams& params) {
    ReconstructionResult out{{}, 1, 0.0};
    const std::optional<geo::Bbox> box = footprintBox(footprint);
    if (!box || !(params.step > 0) || !std::isfinite(params.step)) return out;
    const double pitch = pitchFor(*box, params.step);
    const auto cols = static_cast<int>(std::floor((box->maxX - box->minX) / pitch)) + 1;
    const auto rows = static_cast<int>(std::floor((box->maxY - box->minY) / pitch)) + 1;

    std::vector<double> heights;
    int covered = 0;
    for (int r = 0; r < rows; ++r) {
        const double y = box->minY + r * pitch;
        for (int c = 0; c < cols; ++c) {
            const double x = box->minX + c * pitch;
            if (!geo::ringContains(footprint, {x, y})) continue;
            const std::optional<double> s = models.surfaceHeight(x, y);
            if (!s) continue;
            heights.push_back(*s);
            if (const std::optional<double> raise = models.raise(x, y); raise && *raise > params.minRaise) ++covered;
        }
    }
    const auto counted = static_cast<int>(heights.size());
    if (heights.empty()) {
        double mx = 0, my = 0;
        for (const geo::Point2d& p : footprint) {
            mx += p.x;
            my += p.y;
        }
        const double n = static_cast<double>(footprint.size());
        if (const std::optional<double> s = models.surfaceHeight(mx / n, my / n)) heights.push_back(*s);
    }
    if (heights.empty()) return out;
    out.coverage = counted > 0 ? static_cast<double>(covered) / counted : 0.0;
    const double roof = upperMedian(heights);

    out.faces.push_back(liftRing(footprint, horizontalPlane(roof)));
    for (std::size_t i = 0; i < footprint.size(); ++i) {
        const geo::Point2d& a = footprint[i];
        const geo::Point2d& b = footprint[(i + 1) % footprint.size()];
        if (a == b) continue;
        const std::optional<double> g0 = models.terrainHeight(a.x, a.y);
        const std::optional<double> g1 = models.terrainHeight(b.x, b.y);
        if (!g0 || !g1) continue;
        if (roof - *g0 < params.minWallHeight && roof - *g1 < params.minWallHeight) continue;
        out.faces.push_back({{a.x, a.y, roof}, {b.x, b.y, roof}, {b.x, b.y, *g1}, {a.x, a.y, *g0}});
    }
    out.fallback = out.coverage < params.minCoverage ? 1 : 0;
    return out;
}

}  // namespace kl::buildings
