// One diagonal road (5 km unless told) through the corridor and surface
// kernels, on an analytic terrain (no sheet reading in the figure). With
// --box the reference walk is timed too: every lattice point of the ring's
// bounding box tested against the ring, as a walk without rows would.
//   kl_road_surface_bench [LENGTH_M] [--box]
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "buildings/surface_in_ring.h"
#include "geodata/corridor_ring.h"
#include "geodata/polygon.h"

namespace {

using namespace kl;
using Clock = std::chrono::steady_clock;

std::string ms(Clock::duration d) {
    return std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(d).count());
}

// Cells of the whole box with four corners inside.
long long boxWalk(const geo::Ring& ring, double step) {
    double minX = ring[0].x, minY = ring[0].y, maxX = minX, maxY = minY;
    for (const auto& p : ring) {
        minX = std::min(minX, p.x), minY = std::min(minY, p.y);
        maxX = std::max(maxX, p.x), maxY = std::max(maxY, p.y);
    }
    const auto nx = static_cast<long long>((maxX - minX) / step), ny = static_cast<long long>((maxY - minY) / step);
    long long cells = 0;
    for (long long j = 0; j < ny; ++j)
        for (long long i = 0; i < nx; ++i) {
            const double x0 = minX + static_cast<double>(i) * step, y0 = minY + static_cast<double>(j) * step;
            cells += geo::ringContains(ring, {x0, y0}) && geo::ringContains(ring, {x0 + step, y0}) &&
                     geo::ringContains(ring, {x0 + step, y0 + step}) && geo::ringContains(ring, {x0, y0 + step});
        }
    return cells;
}

}  // namespace

int main(int argc, char** argv) {
    const double length = argc > 1 && argv[1][0] != '-' ? std::stod(argv[1]) : 5000.0;
    const bool box = std::strcmp(argv[argc - 1], "--box") == 0;
    const double leg = length / std::sqrt(2.0);
    // A vertex every 50 m and a gentle wobble, as mapped roads have.
    std::vector<geo::Point2d> line;
    const int vertices = static_cast<int>(length / 50.0) + 1;
    for (int k = 0; k < vertices; ++k) {
        const double t = static_cast<double>(k) / (vertices - 1);
        line.push_back({500000.0 + t * leg + 3.0 * std::sin(k * 0.7), 300000.0 + t * leg});
    }
    const std::vector<double> half(line.size(), 3.5);
    const auto t0 = Clock::now();
    const geo::Ring ring = geo::corridorRing(line, half, half, false);
    const auto t1 = Clock::now();
    buildings::SurfaceParams road;
    road.minCoverage = 0;
    road.useTerrain = true;
    const auto terrain = [](double x, double y) {
        return std::optional<double>(200.0 + 0.001 * (x - 500000.0) + 0.0005 * (y - 300000.0));
    };
    const buildings::ReconstructionResult r = buildings::surfaceInRing(ring, {terrain, terrain}, road);
    const auto t2 = Clock::now();
    std::printf("road %s m: ring %zu vertices, %zu triangles, fallback %d\n",
                std::to_string(static_cast<long>(length)).c_str(), ring.size(), r.faces.size(), r.fallback);
    std::printf("corridorRing %s ms, surfaceInRing %s ms\n", ms(t1 - t0).c_str(), ms(t2 - t1).c_str());
    if (box) {
        const long long cells = boxWalk(ring, road.step);
        std::printf("whole-box walk: %s cells in %s ms\n", std::to_string(cells).c_str(), ms(Clock::now() - t2).c_str());
    }
    return 0;
}
