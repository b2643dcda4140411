#include "buildings/roof_from_cloud.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "buildings/footprint.h"
#include "buildings/plane.h"
#include "geodata/polygon.h"

namespace kl::buildings {
namespace {

// How far around the footprint, in ground cells, a building without ground
// under its own returns looks for it: a street's width at 2 m cells.
constexpr int kGroundSearchCells = 5;

// A footprint of more than a few million cells is no building.
constexpr std::int64_t kMaxCellsPerAxis = 4096;

// Coverage cells whose centres, from the box's corner, lie below its far
// side; counting stops at the cap, so a stray vertex cannot make it endless.
std::int64_t cellCount(double from, double to, double cell) {
    std::int64_t n = 0;
    while (n < kMaxCellsPerAxis && from + cell / 2 + static_cast<double>(n) * cell < to) ++n;
    return n;
}

}  // namespace

ReconstructionResult roofFromCloud(const geo::Ring& footprint, const CloudPointGrid& cloud, const GroundModel& ground,
                                   const RoofFromCloudParams& params) {
    ReconstructionResult out{{}, 1, 0.0};
    const std::optional<geo::Bbox> box = footprintBox(footprint);
    const double cell = params.cellSize;
    if (!box || !(cell > 0) || !std::isfinite(cell)) return out;
    const std::int64_t nx = cellCount(box->minX, box->maxX, cell);
    const std::int64_t ny = cellCount(box->minY, box->maxY, cell);
    const std::optional<double> around =
        lowestGroundAround(ground, box->minX, box->minY, box->maxX, box->maxY, kGroundSearchCells);
    const auto groundAt = [&](double x, double y) {
        const std::optional<double> own = groundHeightAt(ground, x, y);
        return own ? own : around;
    };

    std::vector<char> occupied(static_cast<std::size_t>(nx * ny), 0);
    std::vector<double> roof;
    double highest = -INFINITY;
    cloud.forEachNear(box->minX, box->minY, box->maxX, box->maxY, [&](const CloudPoint& p) {
        if (p.cls == kGroundClass || isNoiseClass(p.cls)) return;
        if (p.x < box->minX || p.x > box->maxX || p.y < box->minY || p.y > box->maxY) return;
        if (!geo::ringContains(footprint, {p.x, p.y})) return;
        const std::optional<double> g = groundAt(p.x, p.y);
        if (!g || p.z - *g < params.minHeightAboveGround) return;
        roof.push_back(p.z);
        highest = std::max(highest, p.z);
        const auto col = static_cast<std::int64_t>(std::floor((p.x - box->minX) / cell));
        const auto row = static_cast<std::int64_t>(std::floor((p.y - box->minY) / cell));
        if (col < nx && row < ny) occupied[static_cast<std::size_t>(row * nx + col)] = 1;
    });

    std::int64_t cells = 0, covered = 0;
    for (std::int64_t r = 0; r < ny; ++r)
        for (std::int64_t c = 0; c < nx; ++c) {
            const geo::Point2d centre{box->minX + cell / 2 + static_cast<double>(c) * cell,
                                      box->minY + cell / 2 + static_cast<double>(r) * cell};
            if (!geo::ringContains(footprint, centre)) continue;
            ++cells;
            covered += occupied[static_cast<std::size_t>(r * nx + c)];
        }
    out.coverage = cells > 0 ? static_cast<double>(covered) / static_cast<double>(cells) : 0.0;

    const auto points = static_cast<std::int64_t>(roof.size());
    if (points >= params.minPoints && out.coverage >= params.minCoverage) {
        out.faces.push_back(liftRing(footprint, horizontalPlane(upperMedian(roof))));
        out.fallback = 0;
        return out;
    }
    std::optional<double> height;
    if (!roof.empty()) {
        height = highest;
    } else if (const std::optional<double> g = groundAt(footprint[0].x, footprint[0].y)) {
        height = *g + params.fallbackHeight;
    }
    if (height) out.faces.push_back(liftRing(footprint, horizontalPlane(*height)));
    return out;
}

}  // namespace kl::buildings
