// One 5 km diagonal road through the corridor and surface kernels, on an
// analytic terrain (no sheet reading in the figure).
//   kl_road_surface_bench [LENGTH_M]
// Prints the cells walked, the triangles made and the seconds of each kernel.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>

#include "buildings/surface_in_ring.h"
#include "geodata/corridor_ring.h"

int main(int argc, char** argv) {
    using namespace kl;
    const double length = argc > 1 ? std::stod(argv[1]) : 5000.0;
    const double leg = length / std::sqrt(2.0);
    // A centreline with a vertex every 50 m and a gentle wobble, as mapped roads have.
    std::vector<geo::Point2d> line;
    const int vertices = static_cast<int>(length / 50.0) + 1;
    for (int k = 0; k < vertices; ++k) {
        const double t = static_cast<double>(k) / (vertices - 1);
        line.push_back({500000.0 + t * leg + 3.0 * std::sin(k * 0.7), 300000.0 + t * leg});
    }
    const std::vector<double> half(line.size(), 3.5);
    using Clock = std::chrono::steady_clock;
    const auto t0 = Clock::now();
    const geo::Ring ring = geo::corridorRing(line, half, half, false);
    const auto t1 = Clock::now();
    buildings::SurfaceParams road;
    road.minCoverage = 0;
    road.useTerrain = true;
    const auto terrain = [](double x, double y) { return std::optional<double>(200.0 + 0.001 * (x - 500000.0) + 0.0005 * (y - 300000.0)); };
    const buildings::ReconstructionResult r = buildings::surfaceInRing(ring, {terrain, terrain}, road);
    const auto t2 = Clock::now();
    const std::chrono::duration<double> corridor = t1 - t0, surface = t2 - t1;
    std::printf("road %s m, ring %zu vertices, triangles %zu, fallback %d\n", std::to_string(static_cast<long>(length)).c_str(),
                ring.size(), r.faces.size(), r.fallback);
    std::printf("corridorRing %s ms, surfaceInRing %s ms\n", std::to_string(static_cast<long>(corridor.count() * 1e3)).c_str(),
                std::to_string(static_cast<long>(surface.count() * 1e3)).c_str());
    return 0;
}
