#include "buildings/surface_in_ring.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "buildings/plane.h"
#include "geodata/polygon.h"

namespace kl::buildings {
namespace {

// Column indices first..last (inclusive) of the lattice points inside the ring.
using Columns = std::pair<long long, long long>;

struct Lattice {
    double minX, minY, step;
    long long nx, ny;
    double x(long long i) const { return minX + static_cast<double>(i) * step; }
    double y(long long j) const { return minY + static_cast<double>(j) * step; }
};

// The lattice points of row j inside the ring, by the ring test's own rule
// (x inside exactly when it lies in [xs[2k], xs[2k+1])), so that no point is
// judged differently from a point-by-point walk.
std::vector<Columns> insideColumns(const geo::Ring& ring, const Lattice& g, long long j) {
    const std::vector<double> xs = geo::sortedCrossings(ring, g.y(j));
    std::vector<Columns> out;
    for (std::size_t k = 0; k + 1 < xs.size(); k += 2) {
        long long first = std::max(0LL, static_cast<long long>(std::ceil((xs[k] - g.minX) / g.step)) - 1);
        while (first <= g.nx && g.x(first) < xs[k]) ++first;
        long long last = std::min(g.nx, static_cast<long long>(std::floor((xs[k + 1] - g.minX) / g.step)) + 1);
        while (last >= first && g.x(last) >= xs[k + 1]) --last;
        if (first > last) continue;
        // Runs whose columns touch make one run: a cell may span them.
        if (!out.empty() && first <= out.back().second + 1)
            out.back().second = std::max(out.back().second, last);
        else
            out.push_back({first, last});
    }
    return out;
}

// Cells i whose corners i and i+1 are inside in both rows.
std::vector<Columns> cellsBetween(const std::vector<Columns>& below, const std::vector<Columns>& above) {
    std::vector<Columns> out;
    std::size_t a = 0, b = 0;
    while (a < below.size() && b < above.size()) {
        const long long first = std::max(below[a].first, above[b].first);
        const long long last = std::min(below[a].second, above[b].second) - 1;  // the cell's right corner is last + 1
        if (first <= last) out.push_back({first, last});
        (below[a].second < above[b].second ? a : b)++;
    }
    return out;
}

double medianOf(std::vector<double>& v) {
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
    return v[v.size() / 2];
}

}  // namespace

ReconstructionResult surfaceInRing(const geo::Ring& ring, const SurfaceModelPair& models, const SurfaceParams& params) {
    ReconstructionResult out;
    out.fallback = 1;
    if (ring.size() < 3 || !(params.step > 0)) return out;
    geo::Bbox box = geo::ringBounds(ring);
    if (params.clip) {
        box = {std::max(box.minX, params.clipBox.minX), std::max(box.minY, params.clipBox.minY),
               std::min(box.maxX, params.clipBox.maxX), std::min(box.maxY, params.clipBox.maxY)};
        if (box.minX > box.maxX || box.minY > box.maxY) return out;
    }
    const Lattice g{box.minX, box.minY, params.step,
                    std::max(1LL, static_cast<long long>(std::floor((box.maxX - box.minX) / params.step))),
                    std::max(1LL, static_cast<long long>(std::floor((box.maxY - box.minY) / params.step)))};
    const HeightAt& grid = params.useTerrain ? models.terrain : models.surface;

    std::vector<double> heights;
    long long accepted = 0, covered = 0;
    std::vector<Columns> below = insideColumns(ring, g, 0);
    for (long long j = 0; j < g.ny; ++j) {
        std::vector<Columns> above = insideColumns(ring, g, j + 1);
        const double y0 = g.y(j), y1 = g.y(j + 1);
        for (const Columns& run : cellsBetween(below, above)) {
            for (long long i = run.first; i <= run.second; ++i) {
                const double x0 = g.x(i), x1 = g.x(i + 1);
                const auto h00 = grid(x0, y0), h10 = grid(x1, y0), h11 = grid(x1, y1), h01 = grid(x0, y1);
                if (!h00 || !h10 || !h11 || !h01) continue;
                ++accepted;
                out.faces.push_back({{x0, y0, *h00}, {x1, y0, *h10}, {x1, y1, *h11}});
                out.faces.push_back({{x0, y0, *h00}, {x1, y1, *h11}, {x0, y1, *h01}});
                heights.push_back(*h00);
                const double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
                const auto top = models.surface(cx, cy), ground = models.terrain(cx, cy);
                if (top && ground && *top - *ground > params.minRaise) ++covered;
            }
        }
        below = std::move(above);
    }
    out.coverage = accepted > 0 ? static_cast<double>(covered) / static_cast<double>(accepted) : 0.0;
    if (!out.faces.empty() && out.coverage >= params.minCoverage) {
        out.fallback = 0;
        return out;
    }
    out.faces.clear();
    std::optional<double> flat;
    if (!heights.empty())
        flat = medianOf(heights);
    else
        flat = grid((box.minX + box.maxX) / 2, (box.minY + box.maxY) / 2);
    if (flat) out.faces.push_back(liftRing(ring, horizontalPlane(*flat)));
    return out;
}

}  // namespace kl::buildings
